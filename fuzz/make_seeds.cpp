// Writes the seed corpus of every fuzz target: small files of each layout
// the tests use, with the header each target reads first.
// Usage: fuzz_make_seeds <output directory>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <geokeys.h>
#include <geovalues.h>

#include "geotiff_fixture.h"
#include "tiff_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string gOut;
int gCount = 0;

void Put(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::string dir = gOut + "/" + target;
  mkdir(dir.c_str(), 0755);
  std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  ++gCount;
}

template <typename T>
void Append(Bytes& b, T v) {
  const auto* p = reinterpret_cast<const uint8_t*>(&v);
  b.insert(b.end(), p, p + sizeof v);
}
void Append(Bytes& b, const std::string& s, bool nul = true) {
  b.insert(b.end(), s.begin(), s.end());
  if (nul) b.push_back(0);
}

Bytes TiffBytes(const fixture::TempDir& tmp, const fixture::TiffParams& params) {
  const std::string path = tmp.Path("seed.tif");
  if (!fixture::WriteTiff(path, params, fixture::PatternPixels(params))) return {};
  return fixture::ReadBytes(path);
}

std::vector<uint16_t> GreyMap(int bits) {
  const int n = 1 << bits;
  std::vector<uint16_t> m(3 * n);
  for (int i = 0; i < n; ++i) {
    m[i] = uint16_t(i * 65535 / (n - 1));
    m[n + i] = uint16_t(65535 - m[i]);
    m[2 * n + i] = uint16_t(i * 257 % 65536);
  }
  return m;
}

void RasterSeeds(const fixture::TempDir& tmp) {
  struct Case {
    const char* name;
    fixture::TiffParams params;
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, auto edit) {
    fixture::TiffParams s;
    s.width = 13;
    s.height = 7;
    edit(s);
    cases.push_back({name, s});
  };
  add("grey8", [](auto&) {});
  add("bilevel", [](auto& s) { s.bitsPerSample = 1; s.photometric = PHOTOMETRIC_MINISWHITE; });
  add("grey4_strips", [](auto& s) { s.bitsPerSample = 4; s.rowsPerStrip = 2; });
  add("grey16", [](auto& s) { s.bitsPerSample = 16; });
  add("palette8", [](auto& s) { s.photometric = PHOTOMETRIC_PALETTE; s.colormap = GreyMap(8); });
  add("palette4", [](auto& s) {
    s.bitsPerSample = 4; s.photometric = PHOTOMETRIC_PALETTE; s.colormap = GreyMap(4);
  });
  add("rgb", [](auto& s) { s.samplesPerPixel = 3; s.photometric = PHOTOMETRIC_RGB; });
  add("rgba_extra", [](auto& s) {
    s.samplesPerPixel = 4; s.photometric = PHOTOMETRIC_RGB; s.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
  });
  add("rgb16", [](auto& s) { s.samplesPerPixel = 3; s.bitsPerSample = 16; s.photometric = PHOTOMETRIC_RGB; });
  add("rgb_planar", [](auto& s) {
    s.samplesPerPixel = 3; s.photometric = PHOTOMETRIC_RGB; s.planar = PLANARCONFIG_SEPARATE; s.rowsPerStrip = 3;
  });
  add("rgb_tiled", [](auto& s) {
    s.width = 40; s.height = 20; s.samplesPerPixel = 3; s.photometric = PHOTOMETRIC_RGB;
    s.tileWidth = 16; s.tileLength = 16;
  });
  add("grey_tiled_planar", [](auto& s) {
    s.width = 20; s.height = 20; s.samplesPerPixel = 2; s.planar = PLANARCONFIG_SEPARATE;
    s.extraSamples = {EXTRASAMPLE_UNSPECIFIED}; s.tileWidth = 16; s.tileLength = 16;
  });
  add("lzw_predictor", [](auto& s) {
    s.samplesPerPixel = 3; s.photometric = PHOTOMETRIC_RGB; s.compression = COMPRESSION_LZW; s.predictor = 2;
  });
  add("deflate", [](auto& s) { s.compression = COMPRESSION_ADOBE_DEFLATE; s.rowsPerStrip = 3; });
  add("packbits", [](auto& s) { s.compression = COMPRESSION_PACKBITS; });
  add("fax4", [](auto& s) {
    s.bitsPerSample = 1; s.photometric = PHOTOMETRIC_MINISWHITE; s.compression = COMPRESSION_CCITTFAX4;
  });
  add("jpeg_ycbcr", [](auto& s) {
    s.width = 24; s.height = 16; s.samplesPerPixel = 3; s.photometric = PHOTOMETRIC_YCBCR;
    s.compression = COMPRESSION_JPEG; s.jpegYCbCr = true; s.rowsPerStrip = 16;
  });
  add("cmyk", [](auto& s) { s.samplesPerPixel = 4; s.photometric = PHOTOMETRIC_SEPARATED; });

  struct Zone {
    const char* name;
    uint8_t mode;
    int32_t x0, x1, y0, y1;
    int16_t w, h;
  };
  const Zone zones[] = {
      {"whole", 0, 0, 0, 0, 0, 13, 7},  // relative coordinates folded by the target
      {"raw_inside", 1, 0, 12, 0, 6, 6, 3},
      {"raw_outside", 1, -20, 40, -5, 30, 9, 9},
      {"raw_reversed", 1, 12, 0, 6, 0, 4, 4},
      {"raw_zero", 5, 0, 12, 0, 6, 0, -1},
  };
  for (const Case& c : cases) {
    const Bytes tiff = TiffBytes(tmp, c.params);
    if (tiff.empty()) {
      std::fprintf(stderr, "make_seeds: %s not written\n", c.name);
      continue;
    }
    for (const Zone& z : zones) {
      Bytes b;
      Append(b, z.mode);
      Append(b, z.x0);
      Append(b, z.x1);
      Append(b, z.y0);
      Append(b, z.y1);
      Append(b, z.w);
      Append(b, z.h);
      b.insert(b.end(), tiff.begin(), tiff.end());
      Put("fuzz_raster_read", std::string(c.name) + "_" + z.name, b);
      if (std::strcmp(z.name, "whole") == 0) Put("tiff_files", c.name, tiff);
    }
  }
}

void GeoSeeds(const fixture::TempDir& tmp) {
  using namespace geofixture;
  struct Case {
    const char* name;
    GeoParams params;
  };
  std::vector<Case> cases;
  cases.push_back({"utm31", OneTiePoint(8, 6, 430000, 4580000, 30,
                                        {Short(GTModelTypeGeoKey, ModelTypeProjected),
                                         Short(GTRasterTypeGeoKey, RasterPixelIsArea),
                                         Short(ProjectedCSTypeGeoKey, 32631),
                                         Ascii(PCSCitationGeoKey, "WGS 84 / UTM zone 31N")})});
  cases.push_back({"geographic", OneTiePoint(8, 6, 2.0, 41.5, 0.001,
                                             {Short(GTModelTypeGeoKey, ModelTypeGeographic),
                                              Short(GeographicTypeGeoKey, 4326),
                                              Ascii(GTCitationGeoKey, "WGS 84")})});
  cases.push_back({"user_tm", OneTiePoint(8, 6, 500000, 0, 10,
                                          {Short(GTModelTypeGeoKey, ModelTypeProjected),
                                           Short(ProjectedCSTypeGeoKey, 32767),
                                           Short(ProjectionGeoKey, 32767),
                                           Short(ProjCoordTransGeoKey, CT_TransverseMercator),
                                           Double(ProjNatOriginLongGeoKey, -3.0),
                                           Double(ProjFalseEastingGeoKey, 500000.0),
                                           Short(GeogGeodeticDatumGeoKey, 6230),
                                           Ascii(GeogCitationGeoKey, std::string(150, 'c'))})});
  GeoParams many;
  many.width = 10;
  many.height = 10;
  for (int i = 0; i < 6; ++i) {
    const double p[] = {double(i), double(i), 0, 1000.0 + i, 2000.0 - i, 0};
    many.tiepoints.insert(many.tiepoints.end(), p, p + 6);
  }
  many.keys = {Short(GTModelTypeGeoKey, ModelTypeProjected), Short(ProjectedCSTypeGeoKey, 23030)};
  cases.push_back({"six_tiepoints", many});
  GeoParams matrix;
  matrix.matrix = {2, 0, 0, 100, 0, -2, 0, 200, 0, 0, 1, 0, 0, 0, 0, 1};
  matrix.keys = {Short(GTModelTypeGeoKey, ModelTypeProjected), Short(ProjectedCSTypeGeoKey, 32631)};
  cases.push_back({"matrix", matrix});
  GeoParams raw;
  raw.tiepoints = {0, 0, 0, 10, 20, 0};
  raw.pixelScale = {1, 1, 0};
  // Out-of-order keys, an ASCII key past its params and a count too large.
  raw.rawDirectory = {1, 1, 0, 4, 3072, 0, 1, 32631, 1024, 0, 1, 1, 3073, 34737, 40, 0,
                      2049, 34736, 9, 0};
  raw.rawDoubles = {1.0};
  raw.rawAscii = "short|";
  cases.push_back({"raw_directory", raw});

  for (const Case& c : cases) {
    const std::string path = tmp.Path("seed_geo.tif");
    if (!WriteGeoTiff(path, c.params)) {
      std::fprintf(stderr, "make_seeds: %s not written\n", c.name);
      continue;
    }
    Put("fuzz_geotiff", c.name, fixture::ReadBytes(path));
  }
}

void CatalogueSeeds() {
  const std::string wkt =
      "PROJCS[\"WGS 84 / UTM zone 31N\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
      "298.257223563]]],PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"latitude_of_origin\",0],"
      "PARAMETER[\"central_meridian\",3],PARAMETER[\"scale_factor\",0.9996],UNIT[\"metre\",1]]";
  const std::string texts[] = {
      "EPSG=32631\n" + wkt + "\nEPSG=4326\nGEOGCS[\"WGS 84\",DATUM[\"WGS_1984\"]]\n",
      "EPSG=32631\r\nPROJCS[\"x\",DATUM[\"unbalanced,PROJECTION[\"TM\",PARAMETER[\"a\",1\r\n",
      "EPSG=1\nDATUM[\nEPSG=2\nPROJECTION[PARAMETER[\n",
      "  12 , 34;field\ttext\n\n\n-7 0x1F\r\rlast",
      "EPSG=32631\n" + std::string(300, 'P') + "DATUM[\"" + std::string(200, 'D') + "\"]\n",
  };
  int i = 0;
  for (const std::string& t : texts) {
    for (uint8_t mode : {uint8_t(0), uint8_t(3)}) {
      Bytes b;
      Append(b, mode);
      Append(b, int16_t(i == 4 ? 50 : -1));
      Append(b, int32_t(32631));
      Append(b, t, false);
      Put("fuzz_catalogue", "text" + std::to_string(i) + "_" + std::to_string(mode), b);
    }
    ++i;
  }
}

void TextSeeds() {
  struct Case {
    uint8_t flags;
    const char* text;
    const char* separators;
    const char* pattern;
    const char* replacement;
  };
  const Case cases[] = {
      {0, "uno,dos,,tres", ",", "dos", "DOS"},
      {1, "the cat catalogue cat", " ", "cat", "dog"},
      {2 | 4, "Caf\xe9 CAFE cafe", " ", "cafe", "x"},
      {8, "  -12,5e3 rest", " \t", "5", "55555"},
      {16, "a;;b;c;", ";", "a", "aa"},
      {0, "0x7FFFFFFF", "x", "F", ""},
      {0, "key = value", "=", " ", ""},
      {0, "99999999999999999999", "", "9", "99"},
  };
  int i = 0;
  for (const Case& c : cases) {
    Bytes b;
    Append(b, c.flags);
    Append(b, int16_t(0));
    Append(b, int8_t(-1));
    Append(b, c.text);
    Append(b, c.separators);
    Append(b, c.pattern);
    Append(b, c.replacement, false);
    Put("fuzz_text", "case" + std::to_string(i++), b);
  }
}

void SaveSeeds() {
  struct Case {
    uint16_t width;
    int8_t height;
    uint8_t bits;
    int16_t palette;
    int16_t lines;
  };
  const Case cases[] = {{13, 5, 1, 2, 5},  {13, 5, 4, 16, 5},  {13, -5, 8, 256, 5}, {13, 5, 16, 0, 5},
                        {13, 5, 24, 0, 5}, {13, 5, 32, 0, -5}, {7, 3, 8, 0, 9},     {1, 1, 2, 0, 1}};
  int i = 0;
  for (const Case& c : cases) {
    Bytes b;
    Append(b, uint8_t(16 | 32));
    Append(b, c.width);
    Append(b, c.height);
    Append(b, c.bits);
    Append(b, c.palette);
    Append(b, uint8_t(0));
    Append(b, c.lines);
    Append(b, uint8_t(1));
    Append(b, std::string("calibration"));
    for (int k = 0; k < c.palette; ++k) Append(b, uint32_t(k * 0x010203));
    for (int k = 0; k < 200; ++k) b.push_back(uint8_t(k * 37));
    Put("fuzz_save", "case" + std::to_string(i++), b);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  gOut = argv[1];
  mkdir(gOut.c_str(), 0755);
  TIFFSetWarningHandler(nullptr);
  fixture::TempDir tmp;
  RasterSeeds(tmp);
  GeoSeeds(tmp);
  CatalogueSeeds();
  TextSeeds();
  SaveSeeds();
  std::printf("make_seeds: %d seeds in %s\n", gCount, gOut.c_str());
  return gCount > 0 ? 0 : 1;
}

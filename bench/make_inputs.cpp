// Writes the benchmark's input files into a directory: RGB and 8-bit palette
// images in every strip layout and coding the reader meets, one tiled file and
// a small GeoTIFF for the calibration. Lists them in DIR/inputs.txt.
#include <geotiffio.h>
#include <xtiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Input {
  const char* kind;  // "rgb" or "pal"
  uint16_t compression;
  uint32_t rowsPerStrip;  // 0: one strip; UINT32_MAX: tiles of 256 x 256
};

constexpr uint32_t kTiled = UINT32_MAX;

const Input kInputs[] = {
    {"rgb", COMPRESSION_NONE, 1},       {"rgb", COMPRESSION_NONE, 64},       {"rgb", COMPRESSION_NONE, 0},
    {"rgb", COMPRESSION_PACKBITS, 1},   {"rgb", COMPRESSION_PACKBITS, 64},   {"rgb", COMPRESSION_PACKBITS, 0},
    {"rgb", COMPRESSION_LZW, 1},        {"rgb", COMPRESSION_LZW, 64},        {"rgb", COMPRESSION_LZW, 0},
    {"rgb", COMPRESSION_ADOBE_DEFLATE, 1}, {"rgb", COMPRESSION_ADOBE_DEFLATE, 64},
    {"rgb", COMPRESSION_ADOBE_DEFLATE, 0}, {"rgb", COMPRESSION_LZW, kTiled},
    {"pal", COMPRESSION_NONE, 64},      {"pal", COMPRESSION_PACKBITS, 1},    {"pal", COMPRESSION_LZW, 64},
    {"pal", COMPRESSION_ADOBE_DEFLATE, 0},
};

const char* CodingName(uint16_t c) {
  switch (c) {
    case COMPRESSION_NONE: return "none";
    case COMPRESSION_PACKBITS: return "packbits";
    case COMPRESSION_LZW: return "lzw";
    default: return "deflate";
  }
}

std::string LayoutName(uint32_t rps) {
  if (rps == kTiled) return "tiled";
  if (rps == 0) return "strip";
  return "r" + std::to_string(rps);
}

// Smooth gradients with a little noise: compressible, but not trivially.
inline uint8_t Noise(uint32_t x, uint32_t y) {
  uint32_t h = x * 374761393u + y * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return uint8_t(h >> 29);
}

void FillRow(bool rgb, uint32_t width, uint32_t y, uint8_t* row) {
  for (uint32_t x = 0; x < width; ++x) {
    const uint8_t n = Noise(x, y);
    if (rgb) {
      row[3 * x] = uint8_t((x / 8 + y / 16) + n);
      row[3 * x + 1] = uint8_t(((x >> 5) * (y >> 5)) + n);
      row[3 * x + 2] = uint8_t((y / 4) ^ (x / 64));
    } else {
      row[x] = uint8_t(((x >> 4) ^ (y >> 4)) + (n >> 1));
    }
  }
}

void SetCommonTags(TIFF* tif, bool rgb, uint32_t width, uint32_t height, uint16_t compression) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, rgb ? 3 : 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_PALETTE);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE)
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (!rgb) {
    std::vector<uint16_t> r(256), g(256), b(256);
    for (int i = 0; i < 256; ++i) {
      r[i] = uint16_t(i * 257);
      g[i] = uint16_t((255 - i) * 257);
      b[i] = uint16_t(((i * 7) & 255) * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
  }
}

bool WriteImage(const std::string& path, const Input& in, uint32_t size) {
  const bool rgb = std::strcmp(in.kind, "rgb") == 0;
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  SetCommonTags(tif, rgb, size, size, in.compression);
  const uint32_t bpp = rgb ? 3 : 1;
  std::vector<uint8_t> row(size_t(size) * bpp);
  bool ok = true;
  if (in.rowsPerStrip == kTiled) {
    const uint32_t t = 256;
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, t);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, t);
    std::vector<uint8_t> band(size_t(size) * bpp * t), tile(size_t(t) * t * bpp);
    for (uint32_t ty = 0; ok && ty < size; ty += t) {
      std::fill(band.begin(), band.end(), 0);
      for (uint32_t r = 0; r < t && ty + r < size; ++r) FillRow(rgb, size, ty + r, &band[size_t(r) * size * bpp]);
      for (uint32_t tx = 0; ok && tx < size; tx += t) {
        std::fill(tile.begin(), tile.end(), 0);
        const uint32_t cols = std::min(t, size - tx);
        for (uint32_t r = 0; r < t; ++r)
          std::memcpy(&tile[size_t(r) * t * bpp], &band[(size_t(r) * size + tx) * bpp], size_t(cols) * bpp);
        ok = TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0) >= 0;
      }
    }
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, in.rowsPerStrip == 0 ? size : in.rowsPerStrip);
    for (uint32_t y = 0; ok && y < size; ++y) {
      FillRow(rgb, size, y, row.data());
      ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
    }
  }
  TIFFClose(tif);
  return ok;
}

// A small projected GeoTIFF whose EPSG code sits near the end of the catalogue,
// so that the lookup scans nearly all of it.
bool WriteGeoTiff(const std::string& path, uint16_t epsg) {
  const uint32_t w = 400, h = 300;
  TIFF* tif = XTIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  SetCommonTags(tif, true, w, h, COMPRESSION_NONE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
  double tiepoint[6] = {0, 0, 0, 500000, 10000000, 0};
  double scale[3] = {25, 25, 0};
  TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tiepoint);
  TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
  GTIF* gtif = GTIFNew(tif);
  bool ok = gtif != nullptr;
  if (ok) {
    GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
    GTIFKeySet(gtif, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
    GTIFKeySet(gtif, GeographicTypeGeoKey, TYPE_SHORT, 1, 4326);
    GTIFKeySet(gtif, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, epsg);
    GTIFKeySet(gtif, ProjLinearUnitsGeoKey, TYPE_SHORT, 1, Linear_Meter);
    ok = GTIFWriteKeys(gtif) != 0;
    GTIFFree(gtif);
  }
  std::vector<uint8_t> row(size_t(w) * 3);
  for (uint32_t y = 0; ok && y < h; ++y) {
    FillRow(true, w, y, row.data());
    ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
  }
  XTIFFClose(tif);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DIR SIZE [NAME...]\n  writes SIZE x SIZE inputs (all, or those named) and DIR/inputs.txt\n",
                 argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const long size = std::strtol(argv[2], nullptr, 10);
  if (size < 256 || size > 40000) {
    std::fprintf(stderr, "%s: SIZE must be 256 to 40000\n", argv[0]);
    return 2;
  }
  std::FILE* index = std::fopen((dir + "/inputs.txt").c_str(), "w");
  if (index == nullptr) {
    std::fprintf(stderr, "%s: cannot write %s/inputs.txt\n", argv[0], dir.c_str());
    return 1;
  }
  TIFFSetWarningHandler(nullptr);
  for (const Input& in : kInputs) {
    const std::string name = std::string(in.kind) + "_" + CodingName(in.compression) + "_" + LayoutName(in.rowsPerStrip);
    bool wanted = argc == 3;
    for (int i = 3; i < argc; ++i) wanted = wanted || name == argv[i];
    if (!wanted) continue;
    const std::string path = dir + "/" + name + ".tif";
    if (!WriteImage(path, in, uint32_t(size))) {
      std::fprintf(stderr, "%s: writing %s failed\n", argv[0], path.c_str());
      return 1;
    }
    std::fprintf(index, "%s\n", name.c_str());
  }
  std::fclose(index);
  if (!WriteGeoTiff(dir + "/geo_epsg32766.tif", 32766)) {
    std::fprintf(stderr, "%s: writing the GeoTIFF failed\n", argv[0]);
    return 1;
  }
  return 0;
}

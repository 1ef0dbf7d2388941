// The command-line host run as a user runs it: a subprocess with arguments,
// judged by its exit status, its messages and the files it leaves.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "geotiff_fixture.h"
#include "plugin_host.h"
#include "run_process.h"
#include "tiff_fixture.h"

namespace {

using runproc::Result;

struct Host {
  fixture::TempDir dir;
  Result Run(std::vector<std::string> args) {
    args.insert(args.begin(), ZELTO_HOST_PATH);
    return runproc::Run(args, dir.Dir());
  }
  std::string Path(const std::string& name) const { return dir.Path(name); }
};

bool HasEntry(const char* symbol) { return host::Plugin::Get().Symbol(symbol) != nullptr; }

#define SKIP_WITHOUT(symbol) \
  if (!HasEntry(symbol)) GTEST_SKIP() << "the module does not export " symbol " yet"

// Top row first, 0x00RRGGBB.
std::vector<uint32_t> ReadPng(const std::string& path, uint32_t* width, uint32_t* height) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  *width = image.width;
  *height = image.height;
  std::vector<uint32_t> out(size_t(image.width) * image.height);
  for (size_t i = 0; i < out.size(); ++i) out[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
  return out;
}

void WritePngRgb(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint32_t>& colours) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb;
  for (uint32_t c : colours) {
    rgb.push_back(uint8_t(c >> 16));
    rgb.push_back(uint8_t(c >> 8));
    rgb.push_back(uint8_t(c));
  }
  ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) << image.message;
}

// libtiff's rendering of a TIFF as 0x00RRGGBB, top row first.
std::vector<uint32_t> TiffColours(const std::string& path, uint32_t* width, uint32_t* height) {
  std::vector<uint32_t> rgba = fixture::ReadRgba(path, width, height);
  for (uint32_t& p : rgba) p = (p & 0xFF) << 16 | (p & 0xFF00) | ((p >> 16) & 0xFF);
  return rgba;
}

// A BMP as the host writes it: top-down rows, palette for the small depths.
std::vector<uint32_t> ReadBmp(const std::string& path, uint32_t* width, uint32_t* height, int* bitCount) {
  std::vector<uint8_t> d = fixture::ReadBytes(path);
  auto le32 = [&](size_t at) { return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24; };
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') return {};
  int32_t h = int32_t(le32(22));
  EXPECT_LT(h, 0) << "rows are stored top-down";
  *width = le32(18);
  *height = uint32_t(h < 0 ? -h : h);
  *bitCount = d[28] | d[29] << 8;
  uint32_t offBits = le32(10), used = le32(46);
  uint64_t stride = ((uint64_t(*width) * *bitCount + 31) / 32) * 4;
  EXPECT_EQ(d.size(), offBits + stride * *height);
  std::vector<uint32_t> out;
  for (uint32_t y = 0; y < *height; ++y) {
    const uint8_t* row = &d[offBits + stride * y];
    for (uint32_t x = 0; x < *width; ++x) {
      if (*bitCount >= 24) {
        const uint8_t* p = row + x * (*bitCount / 8);
        out.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
      } else {
        uint32_t bit = x * *bitCount;
        uint32_t index = (row[bit / 8] >> (8 - *bitCount - bit % 8)) & ((1u << *bitCount) - 1);
        EXPECT_LT(index, used);
        out.push_back(le32(54 + 4 * index) & 0xFFFFFF);
      }
    }
  }
  return out;
}

fixture::TiffParams RgbParams(uint32_t w, uint32_t h) {
  fixture::TiffParams s;
  s.width = w;
  s.height = h;
  s.samplesPerPixel = 3;
  s.photometric = PHOTOMETRIC_RGB;
  return s;
}

fixture::TiffParams PaletteParams(uint16_t bits) {
  fixture::TiffParams s;
  s.width = 21;
  s.height = 13;
  s.bitsPerSample = bits;
  s.photometric = PHOTOMETRIC_PALETTE;
  uint32_t n = 1u << bits;
  s.colormap.resize(3 * n);
  for (uint32_t i = 0; i < n; ++i) {
    // No black entry, so the count stays the full table; 16-bit values as TIFF means them.
    s.colormap[i] = uint16_t((40 + i * 7 % 200) * 257);
    s.colormap[n + i] = uint16_t((255 - i % 180) * 257);
    s.colormap[2 * n + i] = uint16_t((30 + i * 13 % 220) * 257);
  }
  return s;
}

std::string WriteFixture(const Host& h, const std::string& name, const fixture::TiffParams& params) {
  std::string path = h.Path(name);
  std::string why;
  EXPECT_TRUE(fixture::WriteTiff(path, params, fixture::PatternPixels(params), &why)) << why;
  return path;
}

// ------------------------------------------------------------------ zone

struct ZoneCase {
  const char* name;
  fixture::TiffParams params;
  std::vector<int32_t> zone;  // x0,x1,y0,y1; empty: whole image
  std::vector<int32_t> size;  // w,h; empty: the zone's
  const char* extension;
};
// Named, so that the test framework does not print the padding bytes.
void PrintTo(const ZoneCase& c, std::ostream* os) { *os << c.name; }

class ZoneTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneTest, WritesThePixelsOfTheSource) {
  const ZoneCase& c = GetParam();
  Host h;
  std::string tif = WriteFixture(h, "in.tif", c.params);
  std::string out = h.Path(std::string("out.") + c.extension);
  std::vector<std::string> args = {"zone", tif, "-o", out};
  auto list = [](const std::vector<int32_t>& v) {
    std::string s;
    for (int32_t x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
    return s;
  };
  if (!c.zone.empty()) args.insert(args.end(), {"--zone", list(c.zone)});
  if (!c.size.empty()) args.insert(args.end(), {"--size", list(c.size)});
  Result r = h.Run(args);
  ASSERT_EQ(r.status, 0) << r.err;

  uint32_t sw = 0, shh = 0;
  std::vector<uint32_t> source = TiffColours(tif, &sw, &shh);
  ASSERT_FALSE(source.empty());
  std::vector<int32_t> zone = c.zone.empty() ? std::vector<int32_t>{0, int32_t(sw), 0, int32_t(shh)} : c.zone;
  int32_t w = c.size.empty() ? zone[1] - zone[0] : c.size[0];
  int32_t hh = c.size.empty() ? zone[3] - zone[2] : c.size[1];
  int32_t sx = (zone[1] - zone[0]) / w, sy = (zone[3] - zone[2]) / hh;

  uint32_t ow = 0, oh = 0;
  std::vector<uint32_t> got;
  if (std::string(c.extension) == "png") {
    got = ReadPng(out, &ow, &oh);
  } else {
    int bits = 0;
    got = ReadBmp(out, &ow, &oh, &bits);
    EXPECT_EQ(bits, c.params.photometric == PHOTOMETRIC_RGB ? 24 : c.params.bitsPerSample);
  }
  ASSERT_EQ(ow, uint32_t(w));
  ASSERT_EQ(oh, uint32_t(hh));
  for (int32_t y = 0; y < hh; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint32_t want = source[size_t(zone[2] + y * sy) * sw + size_t(zone[0] + x * sx)];
      ASSERT_EQ(got[size_t(y) * w + x], want) << "pixel " << x << "," << y;
    }
  }
}

fixture::TiffParams Bilevel() {
  fixture::TiffParams s;
  s.width = 37;
  s.height = 9;
  s.bitsPerSample = 1;
  s.photometric = PHOTOMETRIC_MINISWHITE;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Host, ZoneTest,
    ::testing::Values(ZoneCase{"rgb_whole_png", RgbParams(33, 17), {}, {}, "png"},
                      ZoneCase{"rgb_whole_bmp", RgbParams(33, 17), {}, {}, "bmp"},
                      ZoneCase{"rgb_subsampled_png", RgbParams(64, 48), {8, 56, 4, 44}, {16, 10}, "png"},
                      ZoneCase{"rgb_subsampled_bmp", RgbParams(64, 48), {8, 56, 4, 44}, {16, 10}, "bmp"},
                      ZoneCase{"palette8_png", PaletteParams(8), {}, {}, "png"},
                      ZoneCase{"palette8_bmp", PaletteParams(8), {}, {}, "bmp"},
                      ZoneCase{"palette4_bmp", PaletteParams(4), {}, {}, "bmp"},
                      ZoneCase{"bilevel_png", Bilevel(), {}, {}, "png"},
                      ZoneCase{"bilevel_bmp", Bilevel(), {}, {}, "bmp"}),
    [](const ::testing::TestParamInfo<ZoneCase>& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------ save

std::vector<uint32_t> ColoursFor(int depth, uint32_t w, uint32_t h) {
  uint32_t distinct = depth == 1 ? 2 : depth == 4 ? 16 : depth == 8 ? 200 : 0;
  std::vector<uint32_t> c(size_t(w) * h);
  for (uint32_t i = 0; i < c.size(); ++i) {
    uint32_t k = distinct != 0 ? (i * 7 + i / w) % distinct : i;
    c[i] = ((k * 53) & 0xFF) << 16 | ((k * 101 + 17) & 0xFF) << 8 | ((k * 29 + 200) & 0xFF);
  }
  return c;
}

class SaveTest : public ::testing::TestWithParam<int> {};

TEST_P(SaveTest, RoundTripsThroughTheWriter) {
  SKIP_WITHOUT("_ZeltoPlugIn_Save_Raster_Create");
  const int depth = GetParam();
  Host h;
  const uint32_t w = 37, hh = 70;  // odd width: padded rows; more rows than one band
  std::vector<uint32_t> colours = ColoursFor(depth, w, hh);
  WritePngRgb(h.Path("in.png"), w, hh, colours);
  std::string out = h.Path("out.tif");
  Result r = h.Run({"save", h.Path("in.png"), out, "--depth", std::to_string(depth)});
  ASSERT_EQ(r.status, 0) << r.err;

  TIFF* tif = TIFFOpen(out.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  uint16_t photometric = 0, bits = 0;
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFClose(tif);
  if (depth <= 8) {
    EXPECT_EQ(photometric, PHOTOMETRIC_PALETTE);
    EXPECT_EQ(bits, depth);
  } else {
    EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
  }

  uint32_t ow = 0, oh = 0;
  std::vector<uint32_t> got = TiffColours(out, &ow, &oh);
  ASSERT_EQ(ow, w);
  ASSERT_EQ(oh, hh);
  // A 16-bit host pixel keeps five bits of each channel.
  const int tolerance = depth == 16 ? 7 : 0;
  for (size_t i = 0; i < got.size(); ++i) {
    for (int shift : {16, 8, 0}) {
      int want = int(colours[i] >> shift & 0xFF), have = int(got[i] >> shift & 0xFF);
      ASSERT_LE(std::abs(want - have), tolerance) << "pixel " << i % w << "," << i / w << " shift " << shift;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Host, SaveTest, ::testing::Values(1, 4, 8, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "depth" + std::to_string(info.param); });

TEST(HostSave, BmpAndTiffInputsKeepTheirPixels) {
  SKIP_WITHOUT("_ZeltoPlugIn_Save_Raster_Create");
  Host h;
  for (const fixture::TiffParams& params : {RgbParams(29, 11), PaletteParams(8), PaletteParams(4)}) {
    SCOPED_TRACE(params.photometric == PHOTOMETRIC_RGB ? "rgb" : "palette " + std::to_string(params.bitsPerSample));
    std::string tif = WriteFixture(h, "src.tif", params);
    uint32_t sw = 0, sh = 0;
    std::vector<uint32_t> source = TiffColours(tif, &sw, &sh);
    ASSERT_EQ(h.Run({"zone", tif, "-o", h.Path("src.bmp")}).status, 0);
    for (const std::string& input : {h.Path("src.bmp"), tif}) {
      SCOPED_TRACE(input);
      Result r = h.Run({"save", input, h.Path("copy.tif")});
      ASSERT_EQ(r.status, 0) << r.err;
      uint32_t cw = 0, ch = 0;
      EXPECT_EQ(TiffColours(h.Path("copy.tif"), &cw, &ch), source);
    }
  }
}

// ------------------------------------------------------------------ cancel

TEST(HostCancel, ZoneAndSaveFailCleanlyAndLeaveNoFile) {
  Host h;
  std::string tif = WriteFixture(h, "in.tif", RgbParams(64, 48));
  Result zone = h.Run({"zone", tif, "-o", h.Path("out.png"), "--cancel-after", "2"});
  EXPECT_EQ(zone.status, 130) << zone.err;
  EXPECT_NE(zone.err.find("cancelled"), std::string::npos) << zone.err;
  EXPECT_FALSE(runproc::Exists(h.Path("out.png")));

  if (!HasEntry("_ZeltoPlugIn_Save_Raster_Create")) return;
  WritePngRgb(h.Path("in.png"), 37, 200, ColoursFor(24, 37, 200));
  Result save = h.Run({"save", h.Path("in.png"), h.Path("out.tif"), "--cancel-after", "5"});
  EXPECT_EQ(save.status, 130) << save.err;
  EXPECT_NE(save.err.find("cancelled"), std::string::npos) << save.err;
  EXPECT_FALSE(runproc::Exists(h.Path("out.tif")));
}

// ------------------------------------------------------------------ errors

struct ErrorCase {
  const char* name;
  std::vector<std::string> args;  // @DIR@ is the scratch directory, @GOOD@ a valid TIFF
  int status;
  const char* stderrHas;
};
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class ErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTest, ExitStatusAndMessage) {
  const ErrorCase& c = GetParam();
  Host h;
  std::string good = WriteFixture(h, "good.tif", RgbParams(8, 8));
  fixture::WriteBytes(h.Path("notatiff.tif"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0});
  fixture::WriteBytes(h.Path("picture.gif"), {'G', 'I', 'F', '8', '9', 'a'});
  std::vector<std::string> args;
  for (std::string a : c.args) {
    for (auto [key, value] : {std::pair<std::string, std::string>{"@DIR@", h.dir.Dir()}, {"@GOOD@", good},
                              {"@PARTIAL@", ZELTO_PARTIAL_MODULE}}) {
      size_t at = a.find(key);
      if (at != std::string::npos) a.replace(at, key.size(), value);
    }
    args.push_back(a);
  }
  Result r = h.Run(args);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << "stderr: " << r.err;
  EXPECT_EQ(r.err.rfind("zelto-host: ", 0), 0u) << "messages name the program: " << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Host, ErrorTest,
    ::testing::Values(
        ErrorCase{"zone_missing_file", {"zone", "@DIR@/missing.tif", "-o", "@DIR@/o.png"}, 1, "No such file or directory"},
        ErrorCase{"info_missing_file", {"info", "@DIR@/missing.tif"}, 1, "missing.tif: No such file or directory"},
        ErrorCase{"info_not_a_tiff", {"info", "@DIR@/notatiff.tif"}, 1, "Error openning TIF file"},
        ErrorCase{"zone_not_a_tiff", {"zone", "@DIR@/notatiff.tif", "-o", "@DIR@/o.png"}, 1, "Error openning TIF file"},
        ErrorCase{"save_missing_input", {"save", "@DIR@/missing.png", "@DIR@/o.tif"}, 1, "No such file or directory"},
        ErrorCase{"save_not_a_tiff", {"save", "@DIR@/notatiff.tif", "@DIR@/o.tif"}, 1, "Error openning TIF file"},
        ErrorCase{"no_command", {}, 2, "no command given"},
        ErrorCase{"unknown_command", {"frobnicate"}, 2, "unknown command 'frobnicate'"},
        ErrorCase{"unknown_option", {"info", "--bogus"}, 2, "unknown option --bogus"},
        ErrorCase{"zone_without_output", {"zone", "@GOOD@"}, 2, "-o OUT.png"},
        ErrorCase{"zone_bad_extension", {"zone", "@GOOD@", "-o", "@DIR@/o.jpg"}, 2, ".png or .bmp"},
        ErrorCase{"zone_outside_image", {"zone", "@GOOD@", "-o", "@DIR@/o.png", "--zone", "0,9,0,8"}, 2, "does not lie inside"},
        ErrorCase{"zone_not_numbers", {"zone", "@GOOD@", "-o", "@DIR@/o.png", "--zone", "0,a,0,8"}, 2, "not a whole number"},
        ErrorCase{"zone_size_zero", {"zone", "@GOOD@", "-o", "@DIR@/o.png", "--size", "0,4"}, 2, "at least 1,1"},
        ErrorCase{"zone_size_larger", {"zone", "@GOOD@", "-o", "@DIR@/o.png", "--size", "9,4"}, 2, "no larger than the zone"},
        ErrorCase{"save_bad_depth", {"save", "@GOOD@", "@DIR@/o.tif", "--depth", "7"}, 2, "--depth must be"},
        ErrorCase{"save_unknown_input", {"save", "@DIR@/picture.gif", "@DIR@/o.tif"}, 2, ".png, .bmp or .tif"},
        ErrorCase{"save_one_file", {"save", "@GOOD@"}, 2, "expected 2 files"},
        ErrorCase{"module_missing", {"--plugin", "@DIR@/none.so", "info"}, 1, "cannot load the plug-in module"},
        ErrorCase{"entry_point_missing", {"--plugin", "@PARTIAL@", "zone", "@GOOD@", "-o", "@DIR@/o.png"}, 3,
                  "has no entry point _ZeltoPlugIn_Abre_Raster"}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST(HostHelp, EveryCommandHasHelp) {
  Host h;
  for (const char* command : {"info", "calibrate", "zone", "save"}) {
    SCOPED_TRACE(command);
    Result r = h.Run({command, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(std::string("usage: zelto-host ") + command, 0), 0u) << r.out;
  }
  Result top = h.Run({"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.out.find("calibrate FILE"), std::string::npos);
}

// ------------------------------------------------------------------ info

TEST(HostInfo, ReportsWhatOpenAndTheFirstZoneGive) {
  Host h;
  Result bare = h.Run({"info"});
  ASSERT_EQ(bare.status, 0) << bare.err;
  EXPECT_NE(bare.out.find("interface:    4\n"), std::string::npos) << bare.out;
  EXPECT_NE(bare.out.find("version:      Zeltomap TIF plug-in, version 1.02\n"), std::string::npos);
  EXPECT_NE(bare.out.find("2      geo TIF maps     *.TIF"), std::string::npos) << bare.out;

  Result palette = h.Run({"info", WriteFixture(h, "p.tif", PaletteParams(4))});
  ASSERT_EQ(palette.status, 0) << palette.err;
  EXPECT_NE(palette.out.find("width:        21\nheight:       13\ndepth:        4 bits per pixel\npalette:      16 entries\n"),
            std::string::npos)
      << palette.out;

  Result rgb = h.Run({"info", WriteFixture(h, "rgb.tif", RgbParams(5, 3))});
  ASSERT_EQ(rgb.status, 0) << rgb.err;
  EXPECT_NE(rgb.out.find("depth:        24 bits per pixel\npalette:      none"), std::string::npos) << rgb.out;
}

// ------------------------------------------------------------------ calibrate

struct CalibrationCase {
  const char* name;
  geofixture::GeoParams params;
  const char* projection;
  const char* coordinates;
  const char* datum;
  const char* firstPoint;
};
void PrintTo(const CalibrationCase& c, std::ostream* os) { *os << c.name; }

geofixture::GeoParams Projected(int code) {
  geofixture::GeoParams s;
  s.projectedCode = code;
  return s;
}

geofixture::GeoParams Geographic() {
  geofixture::GeoParams s;
  s.modelType = 2;
  s.geographicCode = 4326;
  s.tiepoints = {0, 0, 0, 2.5, 42.25, 0};
  s.scale = {0.001, 0.001, 0};
  return s;
}

class CalibrateTest : public ::testing::TestWithParam<CalibrationCase> {};

TEST_P(CalibrateTest, PrintsTheCalibrationText) {
  SKIP_WITHOUT("_ZeltoPlugIn_Lee_Calibracion");
  if (!ZELTO_HAVE_CATALOGUE) GTEST_SKIP() << "built without the catalogue generator";
  const CalibrationCase& c = GetParam();
  Host h;
  std::string tif = h.Path("map.tif");
  ASSERT_TRUE(geofixture::WriteGeoTiff(tif, c.params));
  Result r = h.Run({"calibrate", tif});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string head = std::string("Zeltomap MAP File\r\n<Header>\r\nVersion=2\r\nVerZeltomap=6.2.n\r\n") +
                     "Projection=" + c.projection + "\r\nCoordinates=" + c.coordinates + "\r\nDatum=" + c.datum +
                     "\r\n</Header>\r\n<Map>\r\nBitmap=" + tif + "\r\nBitmapWidth=40\r\nBitmapHeight=30\r\n</Map>\r\n<Calibration>\r\n" +
                     c.firstPoint + "\r\nP1=40.0000000,30.0000000,A,";
  EXPECT_EQ(r.out.substr(0, head.size()), head);
  EXPECT_NE(r.out.find("\r\nP3=40.0000000,0.0000000,A,"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 16), "</Calibration>\r\n");

  // -o writes the same text, byte for byte.
  Result toFile = h.Run({"calibrate", tif, "-o", h.Path("map.map")});
  ASSERT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(runproc::Slurp(h.Path("map.map")), r.out);
}

INSTANTIATE_TEST_SUITE_P(
    Host, CalibrateTest,
    ::testing::Values(
        CalibrationCase{"utm_31n", Projected(32631),
                        "3,Transversal Mercator,3.00000000,0.00000000,0.00000000,500000.00000000,0.99960000,", "-1",
                        "WGS 1984", "P0=0.0000000,0.0000000,A,430000.0000000,4600000.0000000"},
        CalibrationCase{"british_national_grid", Projected(27700),
                        "3,Transversal Mercator,-2.00000000,49.00000000,-100000.00000000,400000.00000000,0.99960127,",
                        "-1", "Ordnance Survey of Great Britain 1936",
                        "P0=0.0000000,0.0000000,A,430000.0000000,4600000.0000000"},
        CalibrationCase{"geographic_wgs84", Geographic(), "1,Lat/Long", "1", "WGS 84",
                        "P0=0.0000000,0.0000000,A,2.5000000,42.2500000"}),
    [](const ::testing::TestParamInfo<CalibrationCase>& info) { return std::string(info.param.name); });

TEST(HostCalibrate, FailuresGiveTheModulesMessage) {
  SKIP_WITHOUT("_ZeltoPlugIn_Lee_Calibracion");
  Host h;
  std::string plain = WriteFixture(h, "plain.tif", RgbParams(8, 8));
  fixture::WriteBytes(h.Path("notatiff.tif"), {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'});
  struct {
    std::string path;
    const char* message;
  } cases[] = {{plain, "has not geographic information in it"},
               {h.Path("notatiff.tif"), "Error openning TIF file"},
               {h.Path("missing.tif"), "No such file or directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Result r = h.Run({"calibrate", c.path});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// ------------------------------------------------------------------ sample and README

TEST(HostSample, TheBundledSampleOpensAndCalibrates) {
  if (!runproc::Exists(ZELTO_SAMPLE_PATH)) GTEST_SKIP() << "built without the sample generator";
  Host h;
  Result info = h.Run({"info", ZELTO_SAMPLE_PATH});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("width:        400\nheight:       300\ndepth:        24 bits per pixel"), std::string::npos);
  Result zone = h.Run({"zone", ZELTO_SAMPLE_PATH, "-o", h.Path("preview.png")});
  ASSERT_EQ(zone.status, 0) << zone.err;
  uint32_t w = 0, hh = 0;
  EXPECT_EQ(ReadPng(h.Path("preview.png"), &w, &hh).size(), 400u * 300u);

  SKIP_WITHOUT("_ZeltoPlugIn_Lee_Calibracion");
  Result cal = h.Run({"calibrate", ZELTO_SAMPLE_PATH});
  ASSERT_EQ(cal.status, 0) << cal.err;
  EXPECT_NE(cal.out.find("\r\nProjection=3,Transversal Mercator,3.00000000,"), std::string::npos) << cal.out;
  EXPECT_NE(cal.out.find("\r\nDatum=WGS 84\r\n"), std::string::npos) << cal.out;
  EXPECT_NE(cal.out.find("\r\nP0=0.0000000,0.0000000,A,430000.0000000,4600000.0000000\r\n"), std::string::npos);
}

TEST(HostReadme, TheCExampleIsTheOneThatIsBuiltAndItRuns) {
  std::string readme = runproc::Slurp(ZELTO_README);
  std::string example = runproc::Slurp(ZELTO_README_EXAMPLE_SOURCE);
  ASSERT_FALSE(example.empty());
  EXPECT_NE(readme.find(example), std::string::npos) << "README.md must hold tests/host/readme_example.c verbatim";
  // The first command comes first, as an indented code line.
  EXPECT_EQ(readme.find("bash scripts/demo.sh"), readme.find("    bash scripts/demo.sh") + 4);
  EXPECT_LT(readme.find("bash scripts/demo.sh"), readme.find("bash scripts/test.sh"));

  fixture::TempDir dir;
  fixture::TiffParams params = RgbParams(6, 4);
  std::string tif = dir.Path("x.tif");
  ASSERT_TRUE(fixture::WriteTiff(tif, params, fixture::PatternPixels(params)));
  std::vector<uint8_t> pixels = fixture::PatternPixels(params);
  Result r = runproc::Run({ZELTO_README_EXAMPLE, ZELTO_PLUGIN_PATH, tif}, dir.Dir());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "6 x 4, 24 bits per pixel\ntop-left pixel: red " + std::to_string(pixels[0]) + ", green " +
                       std::to_string(pixels[1]) + ", blue " + std::to_string(pixels[2]) + "\n");
}

}  // namespace

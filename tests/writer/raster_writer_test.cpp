// The save entry points, driven as the host drives them through the loaded
// module; files checked with libtiff, tiffinfo and the module's own reader.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tiffio.h>

#include "plugin/host_rows.h"
#include "plugin_host.h"
#include "tiff_fixture.h"

namespace {

const host::Plugin& Module() { return host::Plugin::Get(); }

// A save record whose host-owned bytes carry markers.
struct SaveRecord : TSaveRaster {
  SaveRecord(int32_t width, int32_t height, int32_t bitsPerPixel) : TSaveRaster{} {
    std::memset(HostOwned0, 0x5A, sizeof HostOwned0);
    std::memset(HostOwned48, 0xA5, sizeof HostOwned48);
    Width = width;
    Height = height;
    BitsPerPixel = bitsPerPixel;
    Word28 = Word32 = Word40 = 77;
    LineBitsPerPixel = 77;
    GeoEmbedded = 77;
    Calibration = "calibration text";
  }
};

TSaveLines Band(void* bits, int32_t count) {
  TSaveLines lines{};
  std::memset(lines.HostOwned0, 0x11, sizeof lines.HostOwned0);
  std::memset(lines.HostOwned12, 0x22, sizeof lines.HostOwned12);
  lines.LineCount = count;
  lines.Bits = bits;
  return lines;
}

std::vector<uint8_t> HostLines(int32_t width, int32_t rows, int32_t bitsPerPixel, uint32_t seed) {
  std::vector<uint8_t> bytes(RowBytes(uint64_t(width), uint64_t(bitsPerPixel)) * uint64_t(rows));
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = uint8_t(x >> 24);
  }
  return bytes;
}

uint32_t PaletteWord(uint32_t j) {
  return (((j * 7 + 1) & 0xFF) << 16) | (((j * 13 + 2) & 0xFF) << 8) | ((j * 29 + 3) & 0xFF);
}

// Tags of the first directory, read with libtiff.
struct FileTags {
  bool opened = false;
  uint32_t width = 0, height = 0, rowsPerStrip = 0, subfileType = 99;
  uint16_t samples = 0, bits = 0, photometric = 99, orientation = 0, planar = 0, compression = 0,
           resolutionUnit = 0;
  float xResolution = 0, yResolution = 0;
  bool hasColorMap = false;
  std::vector<uint16_t> red, green, blue;
  std::vector<std::vector<uint8_t>> rows;  // TIFFReadScanline of every row
  bool rowsRead = true;
};

FileTags ReadFile(const std::string& path) {
  FileTags t;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return t;
  t.opened = true;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &t.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &t.height);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bits);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
  TIFFGetField(tif, TIFFTAG_ORIENTATION, &t.orientation);
  TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &t.rowsPerStrip);
  TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &t.planar);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
  TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &t.resolutionUnit);
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &t.xResolution);
  TIFFGetField(tif, TIFFTAG_YRESOLUTION, &t.yResolution);
  TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &t.subfileType);
  uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) && t.bits <= 16) {
    t.hasColorMap = true;
    const std::size_t n = std::size_t(1) << t.bits;
    t.red.assign(r, r + n);
    t.green.assign(g, g + n);
    t.blue.assign(b, b + n);
  }
  const tmsize_t scanline = TIFFScanlineSize(tif);
  for (uint32_t y = 0; y < t.height && scanline > 0; ++y) {
    std::vector<uint8_t> row(static_cast<std::size_t>(scanline));
    if (TIFFReadScanline(tif, row.data(), y, 0) < 0) t.rowsRead = false;
    t.rows.push_back(std::move(row));
  }
  TIFFClose(tif);
  return t;
}

// tiffinfo's report on reading the whole file; empty when it had nothing to complain about.
std::string TiffInfoComplaints(const std::string& path) {
  const std::string command = "tiffinfo -D '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int status = pclose(pipe);
  if (status != 0) return "exit status " + std::to_string(status) + ":\n" + out;
  for (const char* word : {"Warning", "Error", "error", "Cannot", "Can not", "Unknown"}) {
    if (out.find(word) != std::string::npos) return out;
  }
  return "";
}

bool HaveTiffInfo() { return std::system("tiffinfo >/dev/null 2>&1") != 127 * 256; }

// The image as the module's reader delivers it, whole-width rows.
struct Delivered {
  bool ok = false;
  int32_t bitsPerPixel = 0;
  uint32_t width = 0;
  int32_t height = 0;
  int32_t paletteCount = 0;
  std::vector<TPaletteEntry> palette;
  std::vector<std::vector<uint8_t>> rows;
};

Delivered ReadThroughModule(const std::string& path) {
  Delivered d;
  host::Raster raster;
  host::Messages messages;
  if (!Module().AbreRaster(path.c_str(), &raster, &messages)) return d;
  d.bitsPerPixel = raster.BitsPerPixel;
  d.width = raster.Width;
  d.height = raster.Height;
  int32_t w = int32_t(raster.Width), h = raster.Height < 0 ? -raster.Height : raster.Height;
  host::Bitmap bitmap;
  host::Progress progress;
  d.ok = Module().AbreZona(&raster, 0, w, 0, h, &w, &h, &bitmap, &messages, &progress) == 1;
  if (d.ok && raster.BitsPerPixel < 16 && bitmap.Palette != nullptr) {
    d.paletteCount = bitmap.PaletteCount;
    d.palette.assign(bitmap.Palette, bitmap.Palette + 256);
  }
  for (int32_t y = 0; d.ok && y < h; ++y) {
    d.rows.emplace_back(bitmap.Row(y), bitmap.Row(y) + bitmap.Stride());
  }
  Module().CierraRaster(&raster);
  return d;
}

// --- The layout table ------------------------------------------------------

enum class Palette { kNone, kNull, kFull, kTen, kTwo };

struct LayoutCase {
  const char* name;
  int32_t bitsPerPixel;
  Palette palette;
  uint16_t samples, bits, photometric;
  bool colorMap;
  bool roundTrip;  // the reader delivers this layout at a depth it can hold
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

const LayoutCase kLayouts[] = {
    {"Bgr24", 24, Palette::kNone, 3, 8, PHOTOMETRIC_RGB, false, true},
    {"Bgrx32", 32, Palette::kNone, 3, 8, PHOTOMETRIC_RGB, false, true},
    {"Rgb555", 16, Palette::kNone, 3, 8, PHOTOMETRIC_RGB, false, true},
    {"Palette8Full", 8, Palette::kFull, 1, 8, PHOTOMETRIC_PALETTE, true, true},
    {"Palette8Ten", 8, Palette::kTen, 1, 8, PHOTOMETRIC_PALETTE, true, true},
    {"Palette8CountZero", 8, Palette::kNone, 1, 8, PHOTOMETRIC_PALETTE, false, true},
    {"Palette8Null", 8, Palette::kNull, 1, 8, PHOTOMETRIC_PALETTE, false, true},
    {"Bilevel", 1, Palette::kTwo, 1, 1, PHOTOMETRIC_PALETTE, true, true},
    {"Palette4NoPalette", 4, Palette::kNone, 1, 4, PHOTOMETRIC_PALETTE, true, true},
    {"Rgb12SingleSample", 12, Palette::kNone, 1, 12, PHOTOMETRIC_RGB, false, false},
};

std::vector<uint32_t> HostPalette(Palette p) {
  std::vector<uint32_t> entries;
  const uint32_t n = p == Palette::kFull ? 256 : p == Palette::kTen ? 10 : p == Palette::kTwo ? 2 : 0;
  for (uint32_t j = 0; j < n; ++j) entries.push_back(PaletteWord(j));
  return entries;
}

// The file row the host line must become.
std::vector<uint8_t> ExpectedFileRow(const LayoutCase& c, const uint8_t* line, uint32_t width) {
  std::vector<uint8_t> row;
  switch (c.bitsPerPixel) {
    case 24:
      for (uint32_t x = 0; x < width; ++x) row.insert(row.end(), {line[3 * x + 2], line[3 * x + 1], line[3 * x]});
      break;
    case 32:
      for (uint32_t x = 0; x < width; ++x) row.insert(row.end(), {line[4 * x + 2], line[4 * x + 1], line[4 * x]});
      break;
    case 16:
      for (uint32_t x = 0; x < width; ++x) {
        const unsigned v = line[2 * x] | (line[2 * x + 1] << 8);
        auto expand = [](unsigned five) { return uint8_t((five * 255 + 15) / 31); };
        row.insert(row.end(), {expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31)});
      }
      break;
    default:
      row.assign(line, line + (uint64_t(width) * uint64_t(c.bitsPerPixel) + 7) / 8);
  }
  return row;
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {
 protected:
  static constexpr int32_t kWidth = 5;  // odd, so host rows carry padding
  static constexpr int32_t kHeight = 7;

  // Saves kHeight lines in two bands; returns the path.
  std::string Save(std::vector<uint8_t>* lines) {
    const LayoutCase& c = GetParam();
    const std::string path = dir_.Path(std::string(c.name) + ".tif");
    SaveRecord save(kWidth, kHeight, c.bitsPerPixel);
    palette_ = HostPalette(c.palette);
    save.PaletteCount = c.palette == Palette::kNull ? 256 : int32_t(palette_.size());
    save.Palette = palette_.empty() ? nullptr : palette_.data();
    *lines = HostLines(kWidth, kHeight, c.bitsPerPixel, 3);
    host::Messages messages;
    EXPECT_TRUE(Module().SaveCreate(path.c_str(), &save, &messages));
    const uint64_t stride = RowBytes(kWidth, uint64_t(c.bitsPerPixel));
    TSaveLines first = Band(lines->data(), 3);
    TSaveLines second = Band(lines->data() + 3 * stride, kHeight - 3);
    host::Progress progress;
    EXPECT_TRUE(Module().SaveAddLines(&save, &first, &progress, &messages));
    EXPECT_TRUE(Module().SaveAddLines(&save, &second, &progress, &messages));
    EXPECT_TRUE(Module().SaveClose(&save));
    EXPECT_EQ(save.Writer, nullptr);
    EXPECT_TRUE(messages.texts.empty());
    return path;
  }

  fixture::TempDir dir_;
  std::vector<uint32_t> palette_;
};

TEST_P(LayoutTest, TagsAndPixelsAsLibtiffReadsThem) {
  const LayoutCase& c = GetParam();
  std::vector<uint8_t> lines;
  const std::string path = Save(&lines);
  const std::vector<uint8_t> given = HostLines(kWidth, kHeight, c.bitsPerPixel, 3);
  EXPECT_EQ(lines, given) << "the host's buffer must come back unchanged";

  const FileTags t = ReadFile(path);
  ASSERT_TRUE(t.opened);
  EXPECT_EQ(t.width, uint32_t(kWidth));
  EXPECT_EQ(t.height, uint32_t(kHeight));
  EXPECT_EQ(t.samples, c.samples);
  EXPECT_EQ(t.bits, c.bits);
  // libtiff reads an 8-bit palette file without a colour map as greyscale.
  EXPECT_EQ(t.photometric, c.photometric == PHOTOMETRIC_PALETTE && !c.colorMap ? PHOTOMETRIC_MINISBLACK
                                                                              : c.photometric);
  EXPECT_EQ(t.orientation, ORIENTATION_TOPLEFT);
  EXPECT_EQ(t.rowsPerStrip, 1u);
  EXPECT_EQ(t.planar, PLANARCONFIG_CONTIG);
  EXPECT_EQ(t.compression, COMPRESSION_PACKBITS);
  EXPECT_EQ(t.resolutionUnit, RESUNIT_INCH);
  EXPECT_FLOAT_EQ(t.xResolution, 72.0f);
  EXPECT_FLOAT_EQ(t.yResolution, 72.0f);
  EXPECT_EQ(t.subfileType, 0u);

  ASSERT_EQ(t.hasColorMap, c.colorMap);
  if (c.colorMap) {
    const std::size_t n = std::size_t(1) << c.bits;
    for (std::size_t j = 0; j < n; ++j) {
      SCOPED_TRACE("entry " + std::to_string(j));
      uint32_t want = 0;
      if (j < palette_.size()) {
        want = palette_[j];
      } else if (palette_.empty()) {
        const uint32_t grey = uint32_t(j * 255 / (n - 1));  // ramp for low depths without a palette
        want = grey << 16 | grey << 8 | grey;
      }
      EXPECT_EQ(t.red[j], (want >> 16) & 0xFF);
      EXPECT_EQ(t.green[j], (want >> 8) & 0xFF);
      EXPECT_EQ(t.blue[j], want & 0xFF);
    }
  }

  ASSERT_TRUE(t.rowsRead);
  ASSERT_EQ(t.rows.size(), std::size_t(kHeight));
  const uint64_t stride = RowBytes(kWidth, uint64_t(c.bitsPerPixel));
  for (int32_t y = 0; y < kHeight; ++y) {
    SCOPED_TRACE("row " + std::to_string(y));
    EXPECT_EQ(t.rows[std::size_t(y)], ExpectedFileRow(c, given.data() + uint64_t(y) * stride, kWidth));
  }

  if (HaveTiffInfo()) {
    EXPECT_EQ(TiffInfoComplaints(path), "");
  }
}

TEST_P(LayoutTest, ReadsBackThroughTheModule) {
  const LayoutCase& c = GetParam();
  if (Module().AbreRaster == nullptr) GTEST_SKIP() << "the module has no raster reader yet";
  if (!c.roundTrip) GTEST_SKIP() << "the reader delivers this layout at another depth";
  std::vector<uint8_t> lines;
  const std::string path = Save(&lines);

  const Delivered d = ReadThroughModule(path);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, uint32_t(kWidth));
  EXPECT_EQ(d.height, -kHeight);
  const bool rgb = c.samples == 3;
  EXPECT_EQ(d.bitsPerPixel, rgb ? 24 : c.bits);
  const uint64_t stride = RowBytes(kWidth, uint64_t(c.bitsPerPixel));
  for (int32_t y = 0; y < kHeight; ++y) {
    SCOPED_TRACE("row " + std::to_string(y));
    std::vector<uint8_t> want = ExpectedFileRow(c, lines.data() + uint64_t(y) * stride, kWidth);
    if (rgb) SwapRedBlue(want.data(), kWidth, 3);  // the host gets blue, green, red back
    ASSERT_GE(d.rows[std::size_t(y)].size(), want.size());
    EXPECT_EQ(std::vector<uint8_t>(d.rows[std::size_t(y)].begin(), d.rows[std::size_t(y)].begin() + long(want.size())),
              want);
  }
  if (!rgb) {
    ASSERT_GE(d.paletteCount, int32_t(palette_.size()));
    for (std::size_t j = 0; j < palette_.size(); ++j) {
      const TPaletteEntry& e = d.palette[j];
      EXPECT_EQ(uint32_t(e.Red) << 16 | uint32_t(e.Green) << 8 | e.Blue, palette_[j]) << "entry " << j;
    }
    for (int32_t j = int32_t(palette_.size()); c.colorMap && !palette_.empty() && j < d.paletteCount; ++j) {
      const TPaletteEntry& e = d.palette[std::size_t(j)];
      EXPECT_EQ(e.Red | e.Green | e.Blue, 0) << "entry " << j << " past PaletteCount";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, LayoutTest, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

// --- The record and the bands ----------------------------------------------

TEST(SaveRecordTest, CreateFillsItsFieldsAndLeavesTheHostsAlone) {
  for (int32_t depth : {16, 24, 8}) {
    SCOPED_TRACE("depth " + std::to_string(depth));
    fixture::TempDir dir;
    SaveRecord save(4, -3, depth);
    SaveRecord before = save;
    host::Messages messages;
    ASSERT_TRUE(Module().SaveCreate(dir.Path("r.tif").c_str(), &save, &messages));
    EXPECT_NE(save.Writer, nullptr);
    EXPECT_EQ(save.Word28, 1);
    EXPECT_EQ(save.Word32, 1);
    EXPECT_EQ(save.Word40, -1);
    EXPECT_EQ(save.LineBitsPerPixel, depth);  // also 16: lines keep the host's depth
    EXPECT_EQ(save.GeoEmbedded, 0);
    EXPECT_EQ(std::memcmp(save.HostOwned0, before.HostOwned0, sizeof save.HostOwned0), 0);
    EXPECT_EQ(std::memcmp(save.HostOwned48, before.HostOwned48, sizeof save.HostOwned48), 0);
    EXPECT_EQ(save.Width, 4);
    EXPECT_EQ(save.Height, -3);
    EXPECT_EQ(save.BitsPerPixel, depth);
    EXPECT_EQ(save.Calibration, before.Calibration);
    EXPECT_TRUE(Module().SaveClose(&save));
    EXPECT_EQ(save.Writer, nullptr);
  }
}

TEST(SaveRecordTest, NegativeHeightAndLineCountCountByAbsoluteValue) {
  fixture::TempDir dir;
  const std::string path = dir.Path("neg.tif");
  SaveRecord save(6, -4, 8);
  host::Messages messages;
  ASSERT_TRUE(Module().SaveCreate(path.c_str(), &save, &messages));
  std::vector<uint8_t> lines = HostLines(6, 4, 8, 9);
  TSaveLines band = Band(lines.data(), -4);
  host::Progress progress;
  EXPECT_TRUE(Module().SaveAddLines(&save, &band, &progress, &messages));
  EXPECT_EQ(progress.total, 4);
  EXPECT_EQ(progress.advanced, 4);
  Module().SaveClose(&save);
  const FileTags t = ReadFile(path);
  ASSERT_TRUE(t.opened);
  EXPECT_EQ(t.height, 4u);
  ASSERT_TRUE(t.rowsRead);
  for (std::size_t y = 0; y < 4; ++y) {
    EXPECT_EQ(t.rows[y], std::vector<uint8_t>(lines.begin() + long(y * 8), lines.begin() + long(y * 8 + 6)));
  }
}

TEST(SaveRecordTest, TwoBandsOfTenWriteRowsZeroToNineteen) {
  fixture::TempDir dir;
  const std::string path = dir.Path("bands.tif");
  SaveRecord save(3, 20, 24);
  host::Messages messages;
  ASSERT_TRUE(Module().SaveCreate(path.c_str(), &save, &messages));
  std::vector<uint8_t> top(RowBytes(3, 24) * 10, 0x10), bottom(RowBytes(3, 24) * 10, 0x20);
  for (std::size_t i = 0; i < 10; ++i) top[i * 12] = bottom[i * 12] = uint8_t(i);  // blue of pixel 0
  for (auto* bits : {&top, &bottom}) {
    TSaveLines band = Band(bits->data(), 10);
    host::Progress progress;
    EXPECT_TRUE(Module().SaveAddLines(&save, &band, &progress, &messages));
    EXPECT_EQ(progress.total, 10);
    EXPECT_EQ(progress.setTotalCalls, 1);
    EXPECT_EQ(progress.advanced, 10);
  }
  Module().SaveClose(&save);
  const FileTags t = ReadFile(path);
  ASSERT_TRUE(t.opened);
  ASSERT_TRUE(t.rowsRead);
  ASSERT_EQ(t.rows.size(), 20u);
  for (std::size_t y = 0; y < 20; ++y) {
    SCOPED_TRACE("row " + std::to_string(y));
    EXPECT_EQ(t.rows[y][0], y < 10 ? 0x10 : 0x20);  // red
    EXPECT_EQ(t.rows[y][2], uint8_t(y % 10));       // blue
  }
  if (HaveTiffInfo()) {
    EXPECT_EQ(TiffInfoComplaints(path), "");
  }
}

TEST(SaveRecordTest, EmptyBandOnlySetsTheTotal) {
  fixture::TempDir dir;
  SaveRecord save(3, 2, 8);
  host::Messages messages;
  ASSERT_TRUE(Module().SaveCreate(dir.Path("e.tif").c_str(), &save, &messages));
  TSaveLines band = Band(nullptr, 0);
  host::Progress progress;
  EXPECT_TRUE(Module().SaveAddLines(&save, &band, &progress, &messages));
  EXPECT_EQ(progress.setTotalCalls, 1);
  EXPECT_EQ(progress.total, 0);
  EXPECT_EQ(progress.advanced, 0);
  EXPECT_TRUE(messages.texts.empty());
  Module().SaveClose(&save);
}

TEST(SaveRecordTest, CloseWithoutWriterDoesNothing) {
  SaveRecord save(3, 2, 8);
  save.Writer = nullptr;
  SaveRecord before = save;
  EXPECT_TRUE(Module().SaveClose(&save));
  EXPECT_EQ(std::memcmp(&save, &before, sizeof(TSaveRaster)), 0);
  EXPECT_TRUE(Module().SaveClose(nullptr));
}

TEST(SaveRecordTest, EntryPointsAreExportedUnderBothNames) {
  for (const char* name : {"ZeltoPlugIn_Save_Raster_Create", "ZeltoPlugIn_Save_Raster_AddLines",
                           "ZeltoPlugIn_Save_Raster_Close"}) {
    SCOPED_TRACE(name);
    void* plain = Module().Symbol(name);
    EXPECT_NE(plain, nullptr);
    EXPECT_EQ(plain, Module().Symbol((std::string("_") + name).c_str()));
  }
}

// --- Failures ----------------------------------------------------------------

TEST(SaveFailureTest, CreateInMissingDirectoryKeepsLibtiffsReason) {
  fixture::TempDir dir;
  const std::string path = dir.Path("missing/out.tif");
  SaveRecord save(3, 2, 24);
  SaveRecord before = save;
  host::Messages messages;
  EXPECT_FALSE(Module().SaveCreate(path.c_str(), &save, &messages));
  EXPECT_EQ(messages.texts, std::vector<std::string>{"Error creating TIF file"});
  EXPECT_EQ(std::string(Module().GetTiffError()), "TIFFOpen: " + path + ": No such file or directory");
  EXPECT_EQ(std::memcmp(&save, &before, sizeof(TSaveRaster)), 0) << "a failed create leaves the record alone";
}

// Rasters no sound file can be made of are refused before the target is
// opened, so an existing file there survives.
TEST(SaveFailureTest, UnsavableRastersAreRefusedBeforeTheFileIsTouched) {
  struct Unsavable {
    const char* name;
    int32_t width, height, depth;
  };
  const Unsavable cases[] = {
      {"zero width", 0, 4, 8},       {"negative width", -5, 4, 24}, {"zero height", 5, 0, 8},
      {"zero depth", 5, 4, 0},       {"negative depth", 5, 4, -8},  {"depth past 16-bit samples", 5, 4, 70000},
      {"row past 4 GiB", 0x7FFFFFFF, 1, 0xFFFF},
      {"row past 256 MiB", 70000000, 1, 32},    {"repacked row past 256 MiB", 90000000, 1, 16},
      {"more rows than a classic file holds", 1, 0x7FFFFFFF, 8}, {"as many rows upwards", 1, -0x7FFFFFFF, 1},
      {"rows too wide for the file size", 10000000, 10000, 24},
  };
  for (const Unsavable& c : cases) {
    SCOPED_TRACE(c.name);
    fixture::TempDir dir;
    const std::string path = dir.Path("keep.tif");
    fixture::WriteBytes(path, {'k', 'e', 'e', 'p'});
    Module().GetTiffError()[0] = '\0';
    SaveRecord save(c.width, c.height, c.depth);
    SaveRecord before = save;
    host::Messages messages;
    EXPECT_FALSE(Module().SaveCreate(path.c_str(), &save, &messages));
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Error creating TIF file"});
    EXPECT_NE(std::string(Module().GetTiffError()).find(path + ": Cannot save"), std::string::npos)
        << Module().GetTiffError();
    EXPECT_EQ(std::memcmp(&save, &before, sizeof(TSaveRaster)), 0);
    EXPECT_EQ(fixture::ReadBytes(path), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  }
}

// Points the descriptor libtiff holds for path at /dev/full, as if the disk
// had filled up after create.
bool FillDiskUnder(const std::string& path) {
  char real[4096];
  if (realpath(path.c_str(), real) == nullptr) return false;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return false;
  int found = -1;
  while (dirent* e = readdir(fds)) {
    char target[4096];
    const std::string link = std::string("/proc/self/fd/") + e->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    if (std::strcmp(target, real) == 0) found = std::atoi(e->d_name);
  }
  closedir(fds);
  if (found < 0) return false;
  const int full = open("/dev/full", O_WRONLY);
  if (full < 0) return false;
  const bool ok = dup2(full, found) == found;
  close(full);
  return ok;
}

TEST(SaveFailureTest, FailedWriteIsReportedAndTheHostBufferRestored) {
  fixture::TempDir dir;
  const std::string path = dir.Path("full.tif");
  SaveRecord save(8, 6, 24);
  host::Messages messages;
  ASSERT_TRUE(Module().SaveCreate(path.c_str(), &save, &messages));
  ASSERT_TRUE(FillDiskUnder(path));
  std::vector<uint8_t> lines = HostLines(8, 6, 24, 5);
  const std::vector<uint8_t> given = lines;
  TSaveLines band = Band(lines.data(), 6);
  host::Progress progress;
  Module().GetTiffError()[0] = '\0';
  EXPECT_FALSE(Module().SaveAddLines(&save, &band, &progress, &messages));
  EXPECT_EQ(messages.texts, std::vector<std::string>{"Error in TIFFWriteScanline"});
  EXPECT_LT(progress.advanced, 6);
  EXPECT_STRNE(Module().GetTiffError(), "") << "libtiff's reason";
  EXPECT_EQ(lines, given);
  EXPECT_TRUE(Module().SaveClose(&save));
  EXPECT_EQ(save.Writer, nullptr);
}

TEST(SaveFailureTest, CancelStopsWithoutMessageAndKeepsWrittenRows) {
  fixture::TempDir dir;
  const std::string path = dir.Path("cancel.tif");
  SaveRecord save(4, 5, 8);
  host::Messages messages;
  ASSERT_TRUE(Module().SaveCreate(path.c_str(), &save, &messages));
  std::vector<uint8_t> lines = HostLines(4, 5, 8, 7);
  TSaveLines band = Band(lines.data(), 5);
  host::Progress progress;
  progress.cancelAfter = 2;
  std::strcpy(Module().GetTiffError(), "older error");
  EXPECT_FALSE(Module().SaveAddLines(&save, &band, &progress, &messages));
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(progress.advanced, 2);
  EXPECT_STREQ(Module().GetTiffError(), "older error");
  EXPECT_TRUE(Module().SaveClose(&save));

  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  std::vector<uint8_t> row(4);
  for (uint32_t y = 0; y < 2; ++y) {
    ASSERT_EQ(TIFFReadScanline(tif, row.data(), y, 0), 1);
    EXPECT_EQ(row, std::vector<uint8_t>(lines.begin() + long(y * 4), lines.begin() + long(y * 4 + 4)));
  }
  TIFFClose(tif);
}

TEST(SaveFailureTest, LinesThatNoLongerMatchTheFileAreRefused) {
  fixture::TempDir dir;
  SaveRecord save(4, 2, 24);
  host::Messages messages;
  ASSERT_TRUE(Module().SaveCreate(dir.Path("m.tif").c_str(), &save, &messages));
  std::vector<uint8_t> lines = HostLines(8, 2, 32, 1);
  const std::vector<uint8_t> given = lines;
  host::Progress progress;
  TSaveLines band = Band(lines.data(), 2);
  save.LineBitsPerPixel = 32;  // the file was laid out for 24-bit lines
  EXPECT_FALSE(Module().SaveAddLines(&save, &band, &progress, &messages));
  save.LineBitsPerPixel = 24;
  save.Width = 8;
  EXPECT_FALSE(Module().SaveAddLines(&save, &band, &progress, &messages));
  save.Width = 4;
  TSaveLines noBits = Band(nullptr, 2);
  EXPECT_FALSE(Module().SaveAddLines(&save, &noBits, &progress, &messages));
  EXPECT_EQ(messages.texts, std::vector<std::string>(3, "Error in TIFFWriteScanline"));
  EXPECT_EQ(progress.advanced, 0);
  EXPECT_EQ(lines, given);
  Module().SaveClose(&save);

  SaveRecord closed(4, 2, 24);
  closed.Writer = nullptr;
  messages.texts.clear();
  EXPECT_FALSE(Module().SaveAddLines(&closed, &band, &progress, &messages));
  EXPECT_EQ(messages.texts, std::vector<std::string>{"Error in TIFFWriteScanline"});
}

}  // namespace

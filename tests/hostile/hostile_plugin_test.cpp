// The limits the host relies on at the raster entry points: nothing a file or
// a zone request holds can make the module read or write past a buffer.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "../reader/zone_helpers.h"
#include "plugin/host_rows.h"
#include "plugin_host.h"
#include "tiff_fixture.h"

namespace {

// A classic little-endian TIFF of one directory written byte by byte, so that
// the header may claim what no writer would produce.
struct RawTag {
  uint16_t tag;
  uint16_t type;  // 3 SHORT, 4 LONG
  std::vector<uint32_t> values;
};

std::vector<uint8_t> RawTiff(std::vector<RawTag> tags) {
  std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put16 = [](std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  };
  auto put32 = [&](std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
  };
  const uint32_t dirBytes = 2 + 12 * uint32_t(tags.size()) + 4;
  std::vector<uint8_t> extra;
  put16(out, uint32_t(tags.size()));
  for (const RawTag& t : tags) {
    const uint32_t size = t.type == 3 ? 2 : 4;
    std::vector<uint8_t> value;
    for (uint32_t v : t.values) size == 2 ? put16(value, v) : put32(value, v);
    put16(out, t.tag);
    put16(out, t.type);
    put32(out, uint32_t(t.values.size()));
    if (value.size() <= 4) {
      value.resize(4, 0);
      out.insert(out.end(), value.begin(), value.end());
    } else {
      put32(out, 8 + dirBytes + uint32_t(extra.size()));
      extra.insert(extra.end(), value.begin(), value.end());
    }
  }
  put32(out, 0);
  out.insert(out.end(), extra.begin(), extra.end());
  // A few bytes of "pixels" at the end, where the strip offset points.
  out.resize(out.size() + 64, 0x55);
  return out;
}

std::vector<RawTag> StripImage(uint32_t width, uint32_t height, uint16_t samples, uint16_t bits) {
  return {{256, 4, {width}},
          {257, 4, {height}},
          {258, 3, std::vector<uint32_t>(samples, bits)},
          {259, 3, {1}},
          {262, 3, {samples >= 3 ? 2u : 1u}},
          {273, 4, {8}},
          {277, 3, {samples}},
          {278, 4, {height}},
          {279, 4, {64}}};
}

TEST(HostileOpen, RowsTooLargeForTheHostAreRefused) {
  struct Case {
    const char* name;
    uint32_t width, height;
    uint16_t samples, bits;
  };
  const Case cases[] = {
      {"grey rows of 4 GB", 0xFFFFFFFFu, 1, 1, 8},
      {"RGB rows past 2 GB", 0x30000000u, 1, 3, 8},
      {"RGBA rows past 2 GB", 0x20000001u, 1, 4, 8},
      {"16-bit grey delivered at 8 bits, width past 2 G", 0x80000001u, 1, 1, 16},
      {"height past INT32_MAX", 16, 0x80000001u, 1, 8},
  };
  fixture::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.Path("big.tif");
    fixture::WriteBytes(path, RawTiff(StripImage(c.width, c.height, c.samples, c.bits)));
    host::Raster raster;
    host::Messages errors;
    EXPECT_FALSE(host::Plugin::Get().AbreRaster(path.c_str(), &raster, &errors));
    const void* reader = raster.Reader;  // packed field: copy before binding
    EXPECT_EQ(reader, nullptr);
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0], "Error openning TIF file");
  }
}

// A file may pack pixels wider than a machine word across bytes (found by
// fuzzing: 39-bit grey); each delivered pixel must be the file's bits.
TEST(HostileOpen, PixelsWiderThanAWordAreCopiedBitForBit) {
  constexpr uint32_t kBits = 39, kWidth = 9;
  std::vector<RawTag> tags = StripImage(kWidth, 1, 1, kBits);
  const uint32_t pixelsAt = 8 + 2 + 12 * uint32_t(tags.size()) + 4;
  for (RawTag& t : tags) {
    if (t.tag == 273) t.values = {pixelsAt};
    if (t.tag == 262) t.values = {4};  // a mask: delivered as decoded
  }
  std::vector<uint8_t> file = RawTiff(tags);
  for (uint32_t i = 0; i < 64; ++i) file[pixelsAt + i] = uint8_t(i * 37 + 11);
  auto bitAt = [](const uint8_t* p, uint64_t b) { return (p[b / 8] >> (7 - b % 8)) & 1; };

  fixture::TempDir dir;
  const std::string path = dir.Path("odd.tif");
  fixture::WriteBytes(path, file);
  OpenedRaster r(path);
  ASSERT_TRUE(r.ok) << host::Plugin::Get().GetTiffError();
  const int32_t depth = r.raster.BitsPerPixel;  // packed field: copy before binding
  ASSERT_EQ(depth, int32_t(kBits));
  struct Case {
    int32_t x0, x1, w;
    uint32_t first, step;
  };
  for (const Case& c : {Case{0, 9, 9, 0, 1}, Case{1, 9, 4, 1, 2}, Case{1, 9, 8, 1, 1}, Case{0, 9, 3, 0, 3}}) {
    SCOPED_TRACE(testing::Message() << "columns from " << c.first << " step " << c.step);
    Zone z;
    ReadZone(r, z, c.x0, c.x1, 0, 1, c.w, 1);
    ASSERT_EQ(z.result, 1);
    // Rows of 3 bytes a pixel and more come with red and blue exchanged in
    // whole-byte units; the exchange is its own inverse.
    std::vector<uint8_t> row(z.bitmap.Row(0), z.bitmap.Row(0) + z.bitmap.Stride());
    SwapRedBlue(row.data(), uint32_t(c.w), kBits / 8);
    for (uint32_t i = 0; i < uint32_t(c.w); ++i)
      for (uint32_t k = 0; k < kBits; ++k)
        ASSERT_EQ(bitAt(row.data(), uint64_t(i) * kBits + k), bitAt(&file[pixelsAt], uint64_t(c.first + i * c.step) * kBits + k))
            << "pixel " << i << " bit " << k;
  }
}

// Tiles of packed pixels whose width is no whole number of bytes (libtiff
// reads them, with a warning): each tile starts inside a byte of the row.
TEST(HostileOpen, TilesStartingInsideAByteArePutTogetherBitForBit) {
  constexpr uint32_t kWidth = 11, kHeight = 3, kTileWidth = 3, kTileLength = 2;
  constexpr uint32_t kAcross = 4, kDown = 2, kTileBytes = 2;  // rows of 3 bits padded to a byte
  std::vector<RawTag> tags = {{256, 4, {kWidth}},    {257, 4, {kHeight}},    {258, 3, {1}},
                              {259, 3, {1}},         {262, 3, {1}},          {277, 3, {1}},
                              {322, 4, {kTileWidth}}, {323, 4, {kTileLength}}, {324, 4, {}},
                              {325, 4, std::vector<uint32_t>(kAcross * kDown, kTileBytes)}};
  const uint32_t dataAt = 8 + 2 + 12 * uint32_t(tags.size()) + 4 + 2 * 4 * kAcross * kDown;
  for (uint32_t t = 0; t < kAcross * kDown; ++t) tags[8].values.push_back(dataAt + t * kTileBytes);
  std::vector<uint8_t> file = RawTiff(tags);
  for (uint32_t i = 0; i < kAcross * kDown * kTileBytes; ++i) file[dataAt + i] = uint8_t(i * 73 + 29);
  auto pixel = [&](uint32_t x, uint32_t y) {
    const uint32_t tile = (y / kTileLength) * kAcross + x / kTileWidth;
    const uint8_t byte = file[dataAt + tile * kTileBytes + y % kTileLength];
    return (byte >> (7 - x % kTileWidth)) & 1;
  };

  fixture::TempDir dir;
  const std::string path = dir.Path("tiles.tif");
  fixture::WriteBytes(path, file);
  OpenedRaster r(path);
  ASSERT_TRUE(r.ok) << host::Plugin::Get().GetTiffError();
  struct Case {
    int32_t x0, x1, w;
    uint32_t first, step;
  };
  for (const Case& c : {Case{0, 11, 11, 0, 1}, Case{1, 11, 5, 1, 2}, Case{4, 10, 6, 4, 1}}) {
    SCOPED_TRACE(testing::Message() << "columns from " << c.first << " step " << c.step);
    Zone z;
    ReadZone(r, z, c.x0, c.x1, 0, int32_t(kHeight), c.w, int32_t(kHeight));
    ASSERT_EQ(z.result, 1);
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t i = 0; i < uint32_t(c.w); ++i)
        ASSERT_EQ((z.bitmap.Row(int(y))[i / 8] >> (7 - i % 8)) & 1, pixel(c.first + i * c.step, y))
            << "pixel " << i << " of row " << y;
  }
}

class HostileZone : public ::testing::Test {
 protected:
  void SetUp() override {
    params_.width = 9;
    params_.height = 5;
    params_.samplesPerPixel = 3;
    params_.photometric = PHOTOMETRIC_RGB;
    path_ = dir_.Path("small.tif");
    ASSERT_TRUE(fixture::WriteTiff(path_, params_, fixture::PatternPixels(params_)));
  }
  fixture::TempDir dir_;
  fixture::TiffParams params_;
  std::string path_;
};

TEST_F(HostileZone, ZeroNegativeAndOverflowingSizesAreRefusedBeforeAllocating) {
  OpenedRaster r(path_);
  ASSERT_TRUE(r.ok);
  const int32_t sizes[][2] = {{0, 1},        {1, 0},       {-1, 3},      {3, -1},      {INT32_MIN, 1},
                              {1, INT32_MIN}, {INT32_MAX, 2}, {INT32_MAX, INT32_MAX}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s[0] << " x " << s[1]);
    Zone z;
    ReadZone(r, z, 0, 9, 0, 5, s[0], s[1]);
    EXPECT_EQ(z.result, 0);
    EXPECT_EQ(z.bitmap.allocateCalls, 0);
  }
}

TEST_F(HostileZone, ZonesReachingOutsideTheImageComeBackZeroWhereOutside) {
  OpenedRaster r(path_);
  ASSERT_TRUE(r.ok);
  struct Case {
    int32_t x0, x1, y0, y1, w, h;
  };
  // Extreme corners make steps near 2^31; the row-for-row path runs y past INT32_MAX.
  const Case cases[] = {{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 3, 3},
                        {INT32_MAX, INT32_MIN, INT32_MAX, 100, 3, 3},
                        {-1000, -10, 100, 2000, 5, 5},
                        {0, 9, INT32_MAX - 1, 0, 9, 4},
                        {0, 9, INT32_MIN, 0, 9, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x0 << ".." << c.x1 << ", " << c.y0 << ".." << c.y1);
    Zone z;
    ReadZone(r, z, c.x0, c.x1, c.y0, c.y1, c.w, c.h);
    ASSERT_EQ(z.result, 1);
    ASSERT_EQ(z.bitmap.storage.size(), z.bitmap.Stride() * uint64_t(c.h));
    // Every sample of these zones lies outside the image.
    for (uint8_t byte : z.bitmap.storage) ASSERT_EQ(byte, 0) << "a pixel from outside is not zero";
  }
}

TEST(HostileSave, RowSizeOverflowIsRefusedAtCreate) {
  struct Case {
    int32_t width, bits;
  };
  // LineCount beyond the host's buffer cannot be seen from here; the row size can.
  const Case cases[] = {{INT32_MAX, 32}, {INT32_MAX, 24}, {0x7FFFFFF0, 16}, {0x10000000, 65535}};
  fixture::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " pixels at " << c.bits);
    const std::string path = dir.Path("out.tif");
    TSaveRaster save{};
    save.Width = c.width;
    save.Height = 1;
    save.BitsPerPixel = c.bits;
    host::Messages errors;
    EXPECT_FALSE(host::Plugin::Get().SaveCreate(path.c_str(), &save, &errors));
    const void* writer = save.Writer;
    EXPECT_EQ(writer, nullptr);
    EXPECT_TRUE(fixture::ReadBytes(path).empty()) << "the target was touched";
  }
}

}  // namespace

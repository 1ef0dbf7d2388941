#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tiff_fixture.h"
#include "zone_helpers.h"

using fixture::TiffParams;

namespace {

std::string Write(const fixture::TempDir& dir, const std::string& name, const TiffParams& params,
                  const std::vector<uint8_t>& pixels) {
  std::string path = dir.Path(name);
  std::string why;
  EXPECT_TRUE(fixture::WriteTiff(path, params, pixels, &why)) << why;
  return path;
}

std::string Write(const fixture::TempDir& dir, const std::string& name, const TiffParams& params) {
  return Write(dir, name, params, fixture::PatternPixels(params));
}

TiffParams Rgb(uint32_t w, uint32_t h, uint16_t samples = 3) {
  TiffParams s;
  s.width = w;
  s.height = h;
  s.samplesPerPixel = samples;
  s.photometric = PHOTOMETRIC_RGB;
  if (samples == 4) s.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
  return s;
}

std::vector<uint16_t> Colormap(int entries, uint16_t (*value)(int i, int channel)) {
  std::vector<uint16_t> map(3 * entries);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < entries; ++i) map[c * entries + i] = value(i, c);
  return map;
}

}  // namespace

TEST(ReaderOpen, DeliveredDepthFollowsTheTags) {
  fixture::TempDir dir;
  struct Case {
    const char* name;
    TiffParams params;
    int32_t depth;
  };
  TiffParams g4;
  g4.bitsPerSample = 1;
  g4.writeBitsPerSample = false;
  g4.compression = COMPRESSION_CCITTFAX4;
  g4.photometric = PHOTOMETRIC_MINISWHITE;
  TiffParams whiteNoBits;
  whiteNoBits.bitsPerSample = 1;
  whiteNoBits.writeBitsPerSample = false;
  whiteNoBits.photometric = PHOTOMETRIC_MINISWHITE;
  TiffParams grey16;
  grey16.bitsPerSample = 16;
  TiffParams bilevel;
  bilevel.bitsPerSample = 1;
  TiffParams palette4;
  palette4.bitsPerSample = 4;
  palette4.photometric = PHOTOMETRIC_PALETTE;
  palette4.colormap = Colormap(16, [](int i, int c) { return uint16_t((i + 1) * 4000 + c); });
  TiffParams separated = Rgb(8, 8, 4);
  separated.photometric = PHOTOMETRIC_SEPARATED;
  separated.extraSamples.clear();
  const Case cases[] = {
      {"rgb3", Rgb(8, 8), 24},          {"rgba", Rgb(8, 8, 4), 32},       {"g4-no-bits", g4, 1},
      {"white-no-bits", whiteNoBits, 8}, {"grey16", grey16, 8},           {"bilevel", bilevel, 1},
      {"palette4", palette4, 4},        {"cmyk", separated, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenedRaster r(Write(dir, std::string(c.name) + ".tif", c.params));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(int32_t(r.raster.BitsPerPixel), c.depth);  // packed field: copy, never bind
    EXPECT_EQ(r.raster.Width, c.params.width);
    EXPECT_EQ(r.raster.Height, -int32_t(c.params.height));
    EXPECT_EQ(r.raster.Opened, 1);
    EXPECT_NE(static_cast<void*>(r.raster.Reader), nullptr);
    // Bytes the host owns stay as the host set them.
    for (uint8_t b : r.raster.HostOwned0) EXPECT_EQ(b, 0x5A);
    for (uint8_t b : r.raster.HostOwned17) EXPECT_EQ(b, 0xA5);
    EXPECT_TRUE(r.errors.texts.empty());
  }
}

TEST(ReaderOpen, FailuresSendTheFixedMessageAndLeaveTheRecord) {
  fixture::TempDir dir;
  fixture::WriteBytes(dir.Path("text.tif"), {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  TiffParams rgb4 = Rgb(8, 8);
  rgb4.bitsPerSample = 4;  // announced at 4 bits, decoded at 12: nothing sound to deliver
  const std::string unconvertible = Write(dir, "rgb4.tif", rgb4);
  for (const std::string& path : {dir.Path("missing.tif"), dir.Path("text.tif"), unconvertible}) {
    SCOPED_TRACE(path);
    host::Raster raster;
    raster.Width = 77;
    raster.BitsPerPixel = 55;
    host::Messages errors;
    EXPECT_FALSE(host::Plugin::Get().AbreRaster(path.c_str(), &raster, &errors));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0], "Error openning TIF file");
    EXPECT_EQ(raster.Width, 77u);
    EXPECT_EQ(int32_t(raster.BitsPerPixel), 55);
    EXPECT_EQ(static_cast<void*>(raster.Reader), nullptr);
    EXPECT_NE(std::string(host::Plugin::Get().GetTiffError()), "");
  }
}

TEST(ReaderErrors, LastErrorTextKeepsOnlyTheLatestFailure) {
  fixture::TempDir dir;
  const auto& p = host::Plugin::Get();
  fixture::WriteBytes(dir.Path("bad.tif"), {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  fixture::WriteBytes(dir.Path("junk.tif"), {'x', 'y', 'z', 'w', 1, 2, 3, 4});
  host::Raster raster;
  host::Messages errors;
  const std::string missing = dir.Path("missing.tif");
  ASSERT_FALSE(p.AbreRaster(missing.c_str(), &raster, &errors));
  // libtiff 4.5's own text for a missing file, under its module name.
  EXPECT_EQ(std::string(p.GetTiffError()), "TIFFOpen: " + missing + ": No such file or directory");
  ASSERT_FALSE(p.AbreRaster(dir.Path("junk.tif").c_str(), &raster, &errors));
  const std::string second = p.GetTiffError();
  EXPECT_NE(second.find("Not a TIFF"), std::string::npos) << second;
  EXPECT_EQ(second.find("No such file"), std::string::npos);

  OpenedRaster good(Write(dir, "good.tif", Rgb(4, 4)));
  ASSERT_TRUE(good.ok);
  EXPECT_EQ(std::string(p.GetTiffError()), second);  // a success clears nothing
}

TEST(ReaderPalette, BuiltAtTheFirstZoneRead) {
  fixture::TempDir dir;
  struct Case {
    const char* name;
    TiffParams params;
    int32_t count;
    std::vector<uint32_t> firstEntries;  // 0x00RRGGBB
  };
  TiffParams white;
  white.bitsPerSample = 1;
  white.photometric = PHOTOMETRIC_MINISWHITE;
  TiffParams black = white;
  black.photometric = PHOTOMETRIC_MINISBLACK;
  TiffParams grey = black;
  grey.bitsPerSample = 8;
  TiffParams lowBytes;
  lowBytes.photometric = PHOTOMETRIC_PALETTE;
  lowBytes.colormap = Colormap(256, [](int i, int c) { return uint16_t((i + c * 10) % 256); });
  TiffParams highBytes = lowBytes;
  highBytes.colormap[5] = 256;  // one wide value switches every entry to its high byte
  TiffParams trimmed = lowBytes;
  trimmed.colormap = Colormap(256, [](int i, int c) { return uint16_t(i >= 200 ? 0 : (i + 1) * 256 + c); });
  TiffParams blackFirst = trimmed;
  blackFirst.colormap = Colormap(256, [](int i, int c) { return uint16_t(i >= 200 || i == 0 ? 0 : i * 256 + c); });
  TiffParams palette4 = lowBytes;
  palette4.bitsPerSample = 4;
  palette4.colormap = Colormap(16, [](int i, int c) { return uint16_t(0x1000 * i + 0x100 * c + 0xFF); });
  const Case cases[] = {
      {"miniswhite", white, 2, {0xFFFFFF, 0x000000}},
      {"minisblack", black, 2, {0x000000, 0xFFFFFF}},
      {"grey", grey, 256, {0x000000, 0x010101, 0x020202}},
      {"low-bytes", lowBytes, 256, {0x000A14, 0x010B15}},
      {"high-bytes", highBytes, 256, {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x010000}},
      {"trailing-black", trimmed, 201, {0x010101}},
      {"black-first", blackFirst, 256, {0x000000, 0x010101}},
      {"palette4", palette4, 16, {0x000102, 0x101112}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenedRaster r(Write(dir, std::string(c.name) + ".tif", c.params));
    ASSERT_TRUE(r.ok);
    Zone z;
    ReadZone(r, z, 0, 0, 0, 0, int32_t(c.params.width), 1);
    ASSERT_EQ(z.result, 1);
    EXPECT_EQ(z.bitmap.PaletteCount, c.count);
    ASSERT_NE(z.bitmap.Palette, nullptr);
    for (size_t i = 0; i < c.firstEntries.size(); ++i) {
      uint32_t word;
      std::memcpy(&word, &z.bitmap.Palette[i], 4);
      EXPECT_EQ(word, c.firstEntries[i]) << "entry " << i;
    }
  }
}

TEST(ReaderZone, RowForRowDeliversBlueGreenRedRowsFromY0) {
  fixture::TempDir dir;
  const TiffParams params = Rgb(5, 9);  // 15-byte rows padded to 16 in the host
  const auto pixels = fixture::PatternPixels(params);
  OpenedRaster r(Write(dir, "rgb.tif", params, pixels));
  ASSERT_TRUE(r.ok);
  Zone z;
  // x0, x1 and y1 are not consulted when the width is the image's.
  ReadZone(r, z, 3, 1, 2, 0, 5, 4);
  ASSERT_EQ(z.result, 1);
  EXPECT_EQ(z.bitmap.Width, 5);
  EXPECT_EQ(z.bitmap.Height, -4);
  EXPECT_EQ(z.bitmap.BitsPerPixel, 24);
  EXPECT_EQ(z.bitmap.Stride(), 16u);
  EXPECT_EQ(z.progress.total, 4);
  EXPECT_EQ(z.progress.advanced, 4);
  for (int k = 0; k < 4; ++k)
    for (int x = 0; x < 5; ++x)
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(z.bitmap.Row(k)[x * 3 + c], pixels[(2 + k) * 15 + x * 3 + (2 - c)]) << k << "," << x;
}

TEST(ReaderZone, SubsampledStepsPickEverySxthPixelOfEverySythRow) {
  fixture::TempDir dir;
  const TiffParams params = Rgb(420, 320, 4);
  const auto pixels = fixture::PatternPixels(params);
  OpenedRaster r(Write(dir, "rgba.tif", params, pixels));
  ASSERT_TRUE(r.ok);
  struct Case {
    int32_t x0, x1, y0, y1, w, h, sx, sy;
  };
  for (const Case& c : {Case{10, 410, 5, 305, 100, 100, 4, 3}, Case{7, 107, 1, 101, 100, 100, 1, 1},
                        Case{20, 25, 30, 31, 8, 3, 0, 0}}) {
    SCOPED_TRACE(c.sx * 10 + c.sy);
    Zone z;
    ReadZone(r, z, c.x0, c.x1, c.y0, c.y1, c.w, c.h);
    ASSERT_EQ(z.result, 1);
    EXPECT_EQ(z.progress.setTotalCalls, 0);
    EXPECT_EQ(z.progress.advanced, c.h);
    for (int k = 0; k < c.h; ++k)
      for (int i = 0; i < c.w; ++i) {
        const uint8_t* src = &pixels[(uint64_t(c.y0 + k * c.sy) * 420 + c.x0 + i * c.sx) * 4];
        const uint8_t* out = z.bitmap.Row(k) + i * 4;
        ASSERT_EQ(out[0], src[2]);
        ASSERT_EQ(out[1], src[1]);
        ASSERT_EQ(out[2], src[0]);
        ASSERT_EQ(out[3], src[3]);
      }
  }
}

TEST(ReaderZone, CancelAtTheFirstQuestion) {
  fixture::TempDir dir;
  const TiffParams params = Rgb(16, 16);
  OpenedRaster r(Write(dir, "rgb.tif", params));
  ASSERT_TRUE(r.ok);
  for (bool rowForRow : {true, false}) {
    SCOPED_TRACE(rowForRow);
    Zone z;
    z.bitmap.fillByte = 0xEE;
    z.progress.cancelAfter = 1;
    ReadZone(r, z, 0, 16, 0, 16, rowForRow ? 16 : 8, 8);
    EXPECT_EQ(z.result, 0);
    EXPECT_TRUE(z.errors.texts.empty());
    EXPECT_EQ(z.progress.advanced, 1);
    // The row-for-row path has delivered its first row, the subsampled none.
    EXPECT_EQ(z.bitmap.Row(0)[0] != 0xEE || z.bitmap.Row(0)[1] != 0xEE, rowForRow);
    EXPECT_EQ(z.bitmap.Row(1)[0], 0xEE);
  }
}

TEST(ReaderZone, AllocationFailureAndBadSizes) {
  fixture::TempDir dir;
  OpenedRaster r(Write(dir, "grey.tif", TiffParams{}));
  ASSERT_TRUE(r.ok);
  Zone z;
  z.bitmap.failAllocate = true;
  ReadZone(r, z, 0, 16, 0, 16, 16, 16);
  EXPECT_EQ(z.result, 0);
  ASSERT_EQ(z.errors.texts.size(), 1u);
  EXPECT_EQ(z.errors.texts[0], "Out of memory reading TIF");
  EXPECT_EQ(z.bitmap.PaletteCount, 256);  // filled before the allocation
  for (auto [w, h] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-3, 4}, std::pair{4, -1}}) {
    Zone bad;
    ReadZone(r, bad, 0, 16, 0, 16, w, h);
    EXPECT_EQ(bad.result, 0);
    EXPECT_EQ(bad.bitmap.allocateCalls, 0);
  }
}

TEST(ReaderZone, PixelsOutsideTheImageComeBackZero) {
  fixture::TempDir dir;
  TiffParams params;
  params.width = 10;
  params.height = 10;
  auto pixels = fixture::PatternPixels(params);
  for (auto& p : pixels) p |= 1;  // no zero inside the image
  OpenedRaster r(Write(dir, "grey.tif", params, pixels));
  ASSERT_TRUE(r.ok);
  Zone z;
  ReadZone(r, z, -4, 16, -4, 16, 5, 5);  // steps 4, from outside to outside
  ASSERT_EQ(z.result, 1);
  for (int k = 0; k < 5; ++k)
    for (int i = 0; i < 5; ++i) {
      const int x = -4 + 4 * i, y = -4 + 4 * k;
      const bool inside = x >= 0 && x < 10 && y >= 0 && y < 10;
      EXPECT_EQ(z.bitmap.Row(k)[i], inside ? pixels[y * 10 + x] : 0) << x << "," << y;
    }
  Zone below;
  ReadZone(r, below, 0, 0, 8, 0, 10, 5);  // rows 8..12: the last three are outside
  ASSERT_EQ(below.result, 1);
  EXPECT_EQ(below.bitmap.Row(1)[0], pixels[90]);
  EXPECT_EQ(below.bitmap.Row(2)[0], 0);
  EXPECT_EQ(below.bitmap.Row(4)[9], 0);
}

TEST(ReaderZone, ConvertedSamples) {
  fixture::TempDir dir;
  // 16-bit grey: the high byte of each sample.
  TiffParams grey16;
  grey16.width = 4;
  grey16.height = 1;
  grey16.bitsPerSample = 16;
  std::vector<uint8_t> g16(8);
  const uint16_t values[] = {0x0102, 0xFF00, 0x80FF, 0x00FF};
  std::memcpy(g16.data(), values, 8);
  // 4-bit grey announced at 8: scaled to 0..255.
  TiffParams grey4;
  grey4.width = 4;
  grey4.height = 1;
  grey4.bitsPerSample = 4;
  // 1-bit MinIsWhite without BitsPerSample, announced at 8.
  TiffParams white;
  white.width = 8;
  white.height = 1;
  white.bitsPerSample = 1;
  white.writeBitsPerSample = false;
  white.photometric = PHOTOMETRIC_MINISWHITE;
  // 16-bit RGB: high bytes, in blue-green-red order.
  TiffParams rgb16 = Rgb(1, 1);
  rgb16.bitsPerSample = 16;
  std::vector<uint8_t> c16(6);
  const uint16_t rgb[] = {0x1122, 0x3344, 0x5566};
  std::memcpy(c16.data(), rgb, 6);
  struct Case {
    const char* name;
    TiffParams params;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {"grey16", grey16, g16, {0x01, 0xFF, 0x80, 0x00}},
      {"grey4", grey4, {0x0F, 0x84}, {0, 255, 136, 68}},
      {"white1", white, {0xA5}, {255, 0, 255, 0, 0, 255, 0, 255}},
      {"rgb16", rgb16, c16, {0x55, 0x33, 0x11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenedRaster r(Write(dir, std::string(c.name) + ".tif", c.params, c.pixels));
    ASSERT_TRUE(r.ok);
    Zone z;
    ReadZone(r, z, 0, 0, 0, 0, int32_t(c.params.width), 1);
    ASSERT_EQ(z.result, 1);
    EXPECT_EQ(std::vector<uint8_t>(z.bitmap.Row(0), z.bitmap.Row(0) + c.expected.size()), c.expected);
  }
}

TEST(ReaderZone, SubsampledBilevelPicksBitByBit) {
  fixture::TempDir dir;
  TiffParams params;
  params.width = 16;
  params.height = 2;
  params.bitsPerSample = 1;
  // Row 0: columns 0, 3, 6, 9, 12, 15 set.
  const std::vector<uint8_t> pixels = {0x92, 0x49, 0x00, 0x00};
  OpenedRaster r(Write(dir, "bits.tif", params, pixels));
  ASSERT_TRUE(r.ok);
  Zone z;
  ReadZone(r, z, 0, 15, 0, 2, 5, 1);  // step 3
  ASSERT_EQ(z.result, 1);
  EXPECT_EQ(z.bitmap.Row(0)[0], 0xF8);  // five set pixels, packed from the top bit
  Zone shifted;
  ReadZone(r, shifted, 1, 16, 0, 2, 5, 1);  // columns 1, 4, 7, 10, 13: none set
  ASSERT_EQ(shifted.result, 1);
  EXPECT_EQ(shifted.bitmap.Row(0)[0], 0x00);
}

TEST(ReaderZone, CompressedStripsGiveTheSameZonesAsUncompressed) {
  fixture::TempDir dir;
  TiffParams plain = Rgb(61, 97);
  plain.rowsPerStrip = 16;
  const auto pixels = fixture::PatternPixels(plain, 7);
  OpenedRaster reference(Write(dir, "plain.tif", plain, pixels));
  ASSERT_TRUE(reference.ok);
  struct Codec {
    uint16_t compression;
    uint16_t predictor;
  };
  struct Request {
    int32_t x0, x1, y0, y1, w, h;
  };
  const Request requests[] = {
      {0, 0, 5, 0, 61, 40},     // starts inside a strip
      {0, 0, 70, 0, 61, 27},    // the last strip, to the end
      {2, 59, 3, 96, 19, 31},   // step 3
      {1, 57, 1, 97, 7, 12},    // step 8
      {0, 61, 90, 10, 20, 8},   // rows upwards
      {3, 3, 40, 40, 10, 4},    // step 0: one pixel of one row, repeated
  };
  for (uint32_t rps : {16u, 0u}) {
    for (Codec codec : {Codec{COMPRESSION_LZW, 0}, Codec{COMPRESSION_PACKBITS, 0}, Codec{COMPRESSION_ADOBE_DEFLATE, 0},
                        Codec{COMPRESSION_LZW, PREDICTOR_HORIZONTAL}}) {
      TiffParams params = plain;
      params.rowsPerStrip = rps;
      params.compression = codec.compression;
      params.predictor = codec.predictor;
      const std::string name = "c" + std::to_string(codec.compression) + "p" + std::to_string(codec.predictor) +
                               "r" + std::to_string(rps) + ".tif";
      SCOPED_TRACE(name);
      OpenedRaster r(Write(dir, name, params, pixels));
      ASSERT_TRUE(r.ok);
      for (const Request& q : requests) {
        Zone want, got;
        ReadZone(reference, want, q.x0, q.x1, q.y0, q.y1, q.w, q.h);
        ReadZone(r, got, q.x0, q.x1, q.y0, q.y1, q.w, q.h);
        ASSERT_EQ(want.result, 1);
        ASSERT_EQ(got.result, 1);
        EXPECT_EQ(want.bitmap.storage, got.bitmap.storage) << q.y0 << " " << q.w << "x" << q.h;
      }
    }
  }
}

TEST(ReaderZone, RowsThatFailToDecodeComeBackZero) {
  fixture::TempDir dir;
  TiffParams params;
  params.width = 64;
  params.height = 64;
  params.rowsPerStrip = 8;
  params.compression = COMPRESSION_ADOBE_DEFLATE;
  auto pixels = fixture::PatternPixels(params);
  for (auto& p : pixels) p |= 1;
  const std::string path = Write(dir, "deflate.tif", params, pixels);
  // Cut the file inside its strips: later rows cannot be decoded.
  auto bytes = fixture::ReadBytes(path);
  ASSERT_GT(bytes.size(), 2000u);
  uint32_t firstStrip;
  {
    TIFF* t = TIFFOpen(path.c_str(), "r");
    uint64_t* offsets = nullptr;
    TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets);
    firstStrip = uint32_t(offsets[4]);
    TIFFClose(t);
  }
  std::memset(bytes.data() + firstStrip, 0xFF, 64);
  fixture::WriteBytes(path, bytes);
  OpenedRaster r(path);
  ASSERT_TRUE(r.ok);
  Zone z;
  z.bitmap.fillByte = 0xAB;
  ReadZone(r, z, 0, 0, 0, 0, 64, 64);
  ASSERT_EQ(z.result, 1);
  EXPECT_EQ(z.bitmap.Row(0)[0], pixels[0]);
  EXPECT_EQ(z.bitmap.Row(33)[5], 0);  // inside the broken strip
  EXPECT_NE(std::string(host::Plugin::Get().GetTiffError()), "");
}

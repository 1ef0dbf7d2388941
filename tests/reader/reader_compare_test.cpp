// Every zone of a generated corpus against libtiff's own RGBA rendering.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tiff_fixture.h"
#include "zone_helpers.h"

using fixture::TiffParams;

namespace {

enum class Kind { kBilevel, kGrey8, kPalette4, kPalette8, kRgb, kRgba };

struct Layout {
  const char* name;
  uint32_t rowsPerStrip;  // 0: one strip
  uint32_t tile;          // 0: stripped
  bool separate;
};

struct Codec {
  const char* name;
  uint16_t compression;
  uint16_t predictor;
};

TiffParams MakeParams(Kind kind, uint32_t w, uint32_t h) {
  TiffParams s;
  s.width = w;
  s.height = h;
  switch (kind) {
    case Kind::kBilevel:
      s.bitsPerSample = 1;
      s.photometric = PHOTOMETRIC_MINISWHITE;
      break;
    case Kind::kGrey8:
      break;
    case Kind::kPalette4:
    case Kind::kPalette8: {
      s.bitsPerSample = kind == Kind::kPalette4 ? 4 : 8;
      s.photometric = PHOTOMETRIC_PALETTE;
      const int n = 1 << s.bitsPerSample;
      s.colormap.resize(3 * n);
      for (int c = 0; c < 3; ++c)
        for (int i = 0; i < n; ++i) s.colormap[c * n + i] = uint16_t(((i * 37 + c * 91) % 256) * 257);
      break;
    }
    case Kind::kRgb:
    case Kind::kRgba:
      s.photometric = PHOTOMETRIC_RGB;
      s.samplesPerPixel = kind == Kind::kRgb ? 3 : 4;
      if (kind == Kind::kRgba) s.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
      break;
  }
  return s;
}

// Smooth content, so that JPEG stays close to it.
std::vector<uint8_t> SmoothPixels(const TiffParams& s) {
  std::vector<uint8_t> p = fixture::PatternPixels(s, 3);
  if (s.bitsPerSample != 8) return p;
  const uint64_t row = fixture::PackedRowBytes(s);
  for (uint32_t y = 0; y < s.height; ++y)
    for (uint64_t i = 0; i < row; ++i) p[y * row + i] = uint8_t((i / s.samplesPerPixel) * 2 + y * 3 + (i % s.samplesPerPixel) * 60);
  return p;
}

bool Applies(Kind kind, const Codec& codec, const Layout& layout) {
  const bool colour = kind == Kind::kRgb || kind == Kind::kRgba;
  if (layout.separate && !colour) return false;
  if (codec.compression == COMPRESSION_CCITTFAX3 || codec.compression == COMPRESSION_CCITTFAX4)
    return kind == Kind::kBilevel && !layout.separate;
  // JPEG YCbCr is interleaved by definition.
  if (codec.compression == COMPRESSION_JPEG) return (kind == Kind::kRgb || kind == Kind::kGrey8) && !layout.separate;
  if (codec.predictor != 0) return kind != Kind::kBilevel && kind != Kind::kPalette4;
  return true;
}

}  // namespace

TEST(ReaderCompare, EveryZoneMatchesLibtiffRgbaRendering) {
  fixture::TempDir dir;
  const Layout layouts[] = {
      {"strip1", 1, 0, false},  {"strip16", 16, 0, false}, {"onestrip", 0, 0, false},
      {"tile16", 0, 16, false}, {"tile256", 0, 256, false}, {"separate16", 16, 0, true},
      {"separate-tile", 0, 16, true},
  };
  const Codec codecs[] = {
      {"none", COMPRESSION_NONE, 0},          {"packbits", COMPRESSION_PACKBITS, 0},
      {"lzw", COMPRESSION_LZW, 0},            {"lzw-pred", COMPRESSION_LZW, PREDICTOR_HORIZONTAL},
      {"deflate", COMPRESSION_ADOBE_DEFLATE, 0}, {"deflate-pred", COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL},
      {"g3", COMPRESSION_CCITTFAX3, 0},       {"g4", COMPRESSION_CCITTFAX4, 0},
      {"jpeg", COMPRESSION_JPEG, 0},
  };
  const Kind kinds[] = {Kind::kBilevel, Kind::kGrey8, Kind::kPalette4, Kind::kPalette8, Kind::kRgb, Kind::kRgba};
  const uint32_t w = 300, h = 200;  // 256 tiles leave edge tiles on both axes
  struct Request {
    int32_t x0, x1, y0, y1, zw, zh;
  };
  const Request requests[] = {
      {0, 300, 0, 200, 300, 200},  // the full image
      {0, 300, 37, 200, 300, 90},  // inner rows, row for row
      {33, 255, 21, 180, 74, 53},  // steps 3
      {5, 292, 9, 198, 41, 27},    // steps 7
      {40, 140, 50, 150, 100, 100},  // an inner zone, step 1
  };
  int files = 0;
  for (Kind kind : kinds) {
    for (const Codec& codec : codecs) {
      for (const Layout& layout : layouts) {
        if (!Applies(kind, codec, layout)) continue;
        TiffParams params = MakeParams(kind, w, h);
        params.compression = codec.compression;
        params.predictor = codec.predictor;
        params.rowsPerStrip = layout.rowsPerStrip;
        params.tileWidth = params.tileLength = layout.tile;
        if (layout.separate) params.planar = PLANARCONFIG_SEPARATE;
        if (codec.compression == COMPRESSION_JPEG && kind == Kind::kRgb) {
          params.photometric = PHOTOMETRIC_YCBCR;
          params.jpegYCbCr = true;
        }
        if (codec.compression == COMPRESSION_JPEG && layout.rowsPerStrip == 1) params.rowsPerStrip = 16;
        const std::string name = std::to_string(int(kind)) + "-" + codec.name + "-" + layout.name + ".tif";
        SCOPED_TRACE(name);
        const std::string path = dir.Path(name);
        std::string why;
        ASSERT_TRUE(fixture::WriteTiff(path, params, SmoothPixels(params), &why)) << why << ": " << host::Plugin::Get().GetTiffError();
        uint32_t rw = 0, rh = 0;
        const std::vector<uint32_t> rgba = fixture::ReadRgba(path, &rw, &rh);
        ASSERT_EQ(rgba.size(), size_t(w) * h);
        OpenedRaster r(path);
        ASSERT_TRUE(r.ok);
        ++files;
        const int tolerance = codec.compression == COMPRESSION_JPEG ? 3 : 0;
        for (const Request& q : requests) {
          Zone z;
          ReadZone(r, z, q.x0, q.x1, q.y0, q.y1, q.zw, q.zh);
          ASSERT_EQ(z.result, 1);
          const bool rowForRow = q.zw == int32_t(w);
          const int sx = rowForRow ? 1 : (q.x1 - q.x0) / q.zw;
          const int sy = rowForRow ? 1 : (q.y1 - q.y0) / q.zh;
          const int x0 = rowForRow ? 0 : q.x0;
          int bad = 0;
          for (int k = 0; k < q.zh && bad < 3; ++k)
            for (int i = 0; i < q.zw && bad < 3; ++i) {
              const uint32_t got = DeliveredColour(z.bitmap, i, k);
              const uint32_t want = RgbaColour(rgba[uint64_t(q.y0 + k * sy) * w + x0 + i * sx]);
              for (int shift : {0, 8, 16}) {
                if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance) {
                  ADD_FAILURE() << "zone " << q.zw << "x" << q.zh << " pixel " << i << "," << k << " got " << std::hex
                                << got << " want " << want;
                  ++bad;
                  break;
                }
              }
            }
        }
      }
    }
  }
  EXPECT_GT(files, 100);
}

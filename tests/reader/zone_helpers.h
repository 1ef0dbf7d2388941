// Drives open/zone/close through the loaded module and turns delivered
// pixels back into colours for comparison.
#ifndef ZELTO_TEST_ZONE_HELPERS_H
#define ZELTO_TEST_ZONE_HELPERS_H

#include <cstdint>
#include <string>
#include <vector>

#include "plugin_host.h"

struct OpenedRaster {
  host::Raster raster;
  host::Messages errors;
  bool ok = false;
  explicit OpenedRaster(const std::string& path) {
    ok = host::Plugin::Get().AbreRaster(path.c_str(), &raster, &errors);
  }
  ~OpenedRaster() {
    if (ok) host::Plugin::Get().CierraRaster(&raster);
  }
  uint32_t Width() const { return raster.Width; }
  int32_t Height() const { return -raster.Height; }
};

struct Zone {
  host::Bitmap bitmap;
  host::Messages errors;
  host::Progress progress;
  int32_t result = -1;
};

inline void ReadZone(OpenedRaster& r, Zone& z, int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t w,
                     int32_t h) {
  z.result = host::Plugin::Get().AbreZona(&r.raster, x0, x1, y0, y1, &w, &h, &z.bitmap, &z.errors, &z.progress);
}

// The colour of delivered pixel (x, y) as 0x00RRGGBB, through the palette
// below 16 bits per pixel.
inline uint32_t DeliveredColour(const host::Bitmap& b, int x, int y) {
  const uint8_t* row = b.Row(y);
  const int d = b.BitsPerPixel;
  if (d < 16) {
    const uint64_t bit = uint64_t(x) * d;
    const unsigned index = (row[bit / 8] >> (8 - d - bit % 8)) & ((1u << d) - 1);
    const TPaletteEntry& e = b.Palette[index];
    return uint32_t(e.Red) << 16 | uint32_t(e.Green) << 8 | e.Blue;
  }
  const uint8_t* px = row + uint64_t(x) * (d / 8);
  return uint32_t(px[2]) << 16 | uint32_t(px[1]) << 8 | px[0];
}

// libtiff's RGBA word (0xAABBGGRR) as 0x00RRGGBB.
inline uint32_t RgbaColour(uint32_t abgr) {
  return (abgr & 0xFF) << 16 | (abgr & 0xFF00) | ((abgr >> 16) & 0xFF);
}

#endif

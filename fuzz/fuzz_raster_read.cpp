// Open + zone reads on both paths (row for row and subsampled), with the zone
// taken from the input. Input: a 21-byte header, then the TIFF file.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "fuzz_common.h"
#include "plugin/host_rows.h"

namespace {

// Zone buffers the harness is willing to give; larger requests get none,
// which the plug-in must report as out of memory.
constexpr uint64_t kMaxZoneBytes = uint64_t(64) << 20;

struct Bitmap : TZoneBitmap {
  void* memory = nullptr;
  uint64_t bytes = 0;
};

void Allocate(TZoneBitmap* self) {
  auto* b = static_cast<Bitmap*>(self);
  const uint64_t rows = self->Height < 0 ? uint64_t(-int64_t(self->Height)) : uint64_t(self->Height);
  const uint64_t bytes = self->Width < 0 ? 0 : RowBytes(uint32_t(self->Width), uint64_t(self->BitsPerPixel)) * rows;
  std::free(b->memory);
  b->memory = nullptr;
  b->bytes = 0;
  if (bytes == 0 || bytes > kMaxZoneBytes) return;
  b->memory = std::malloc(bytes);
  b->bytes = bytes;
  b->Bits = b->memory;
}

void Zone(TOpenRaster& raster, int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t w, int32_t h) {
  Bitmap bitmap;
  bitmap.Allocate = &Allocate;
  fuzzing::Sink errors;
  const int32_t got = ZeltoPlugIn_Abre_Zona(&raster, x0, x1, y0, y1, &w, &h, &bitmap, &errors, nullptr);
  if (got != 0) {
    // A delivered zone is the size asked for, and its palette is readable.
    if (bitmap.Bits == nullptr || bitmap.Width != w || bitmap.Height != -h) std::abort();
    if (bitmap.PaletteCount < 0 || bitmap.PaletteCount > 256) std::abort();
    uint32_t sum = 0;
    for (int32_t i = 0; i < bitmap.PaletteCount; ++i) sum += bitmap.Palette[i].Red;
    volatile uint32_t seen = sum;
    (void)seen;
  }
  std::free(bitmap.memory);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::Input in(data, size);
  const uint8_t mode = in.Take<uint8_t>();
  int32_t x0 = in.Take<int32_t>(), x1 = in.Take<int32_t>();
  int32_t y0 = in.Take<int32_t>(), y1 = in.Take<int32_t>();
  const int32_t w = in.Take<int16_t>(), h = in.Take<int16_t>();
  const std::string path = fuzzing::WriteScratch("in.tif", in.Rest(), in.RestSize());

  TOpenRaster raster{};
  fuzzing::Sink errors;
  if (!ZeltoPlugIn_Abre_Raster(path.c_str(), &raster, &errors)) return 0;
  if (raster.Reader == nullptr || raster.Opened != 1 || raster.Height > 0) std::abort();
  const int64_t width = raster.Width, height = -int64_t(raster.Height);
  if ((mode & 1) == 0) {
    // Coordinates relative to the image, the way a host asks.
    x0 = int32_t(int64_t(uint32_t(x0) % uint32_t(2 * width + 3)) - width / 2 - 1);
    x1 = int32_t(int64_t(uint32_t(x1) % uint32_t(2 * width + 3)) - width / 2 - 1);
    y0 = int32_t(int64_t(uint32_t(y0) % uint32_t(2 * height + 3)) - height / 2 - 1);
    y1 = int32_t(int64_t(uint32_t(y1) % uint32_t(2 * height + 3)) - height / 2 - 1);
  }
  const int32_t rows = (mode & 2) ? h : int32_t(uint16_t(h) % 256);
  // Row for row: the zone is as wide as the image.
  const int32_t yEnd = int32_t(std::clamp<int64_t>(int64_t(y0) + rows, INT32_MIN, INT32_MAX));
  if (width <= INT32_MAX) Zone(raster, 0, int32_t(width), y0, yEnd, int32_t(width), rows);
  // Subsampled.
  Zone(raster, x0, x1, y0, y1, (mode & 4) ? w : int32_t(uint16_t(w) % 1024),
       (mode & 4) ? h : int32_t(uint16_t(h) % 1024));
  ZeltoPlugIn_Cierra_Raster(&raster);
  if (raster.Reader != nullptr) std::abort();
  return 0;
}

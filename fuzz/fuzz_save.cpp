// Save create + add lines + close with the record's fields taken from the
// input. Input: a 20-byte header, a calibration text (NUL ended), then the
// palette and line bytes.
#include <cstdlib>
#include <vector>

#include "fuzz_common.h"
#include "plugin/host_rows.h"

namespace {

struct Progress : TProgress {
  int32_t advanced = 0;
  int32_t cancelAt = -1;
};
void SetTotal(TProgress*, int32_t) {}
void Advance(TProgress* p, int32_t n) { static_cast<Progress*>(p)->advanced += n; }
void Unused(TProgress*) {}
unsigned char IsCancelled(TProgress* p) {
  auto* q = static_cast<Progress*>(p);
  return q->cancelAt >= 0 && q->advanced >= q->cancelAt;
}
const TProgressOps kOps = {&SetTotal, &Advance, &Unused, &IsCancelled};

constexpr uint64_t kMaxLineBuffer = uint64_t(16) << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::Input in(data, size);
  const uint8_t mode = in.Take<uint8_t>();
  TSaveRaster save{};
  save.Width = (mode & 1) ? in.Take<int32_t>() : int32_t(in.Take<uint16_t>() % 512);
  // libtiff keeps 16 bytes per strip (one row each) in memory, so a Height in
  // the hundreds of millions is an honest multi-gigabyte request: bounded here.
  save.Height = (mode & 2) ? in.Take<int32_t>() % (1 << 20) : int32_t(in.Take<int8_t>());
  save.BitsPerPixel = (mode & 4) ? in.Take<int32_t>() : int32_t(in.Take<uint8_t>() % 40);
  save.PaletteCount = in.Take<int16_t>();
  save.GeoEmbedded = in.Take<uint8_t>();
  // Lines past Height make libtiff grow its strip arrays row by row, which
  // is quadratic; a host's band stays near the size it declared.
  const int32_t lineCount = (mode & 32) ? in.Take<int16_t>() % 1024 : in.Take<int8_t>();
  const int32_t calls = in.Take<uint8_t>() % 4 + 1;
  Progress progress;
  progress.Ops = &kOps;
  progress.cancelAt = (mode & 8) ? in.Take<uint8_t>() : -1;
  const std::string calibration = in.TakeString();
  save.Calibration = calibration.c_str();

  // The palette the record points to has PaletteCount entries when positive.
  std::vector<uint32_t> palette(save.PaletteCount > 0 ? size_t(save.PaletteCount) : 0);
  for (auto& e : palette) e = in.Take<uint32_t>();
  save.Palette = palette.empty() ? nullptr : palette.data();

  fuzzing::Sink errors;
  const std::string path = fuzzing::WorkDir() + "/out.tif";
  if (!ZeltoPlugIn_Save_Raster_Create(path.c_str(), &save, &errors)) {
    if (save.Writer != nullptr) std::abort();
    return 0;
  }
  // The host's lines: |LineCount| rows of RowBytes each, as the record says.
  const uint64_t stride = RowBytes(uint32_t(save.Width), uint64_t(save.LineBitsPerPixel));
  const uint64_t count = lineCount < 0 ? uint64_t(-int64_t(lineCount)) : uint64_t(lineCount);
  if (stride * count <= kMaxLineBuffer) {
    std::vector<uint8_t> bits(stride * count);
    for (size_t i = 0; i < bits.size() && in.RestSize() > 0; ++i) bits[i] = in.Take<uint8_t>();
    TSaveLines lines{};
    lines.LineCount = lineCount;
    lines.Bits = bits.empty() ? nullptr : bits.data();
    for (int32_t c = 0; c < calls; ++c)
      ZeltoPlugIn_Save_Raster_AddLines(&save, &lines, (mode & 16) ? &progress : nullptr, &errors);
  }
  ZeltoPlugIn_Save_Raster_Close(&save);
  if (save.Writer != nullptr) std::abort();
  return 0;
}

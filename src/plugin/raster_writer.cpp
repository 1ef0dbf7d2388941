// The save entry points: host rasters become PackBits TIFF files, one row per
// strip, band by band.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include <tiffio.h>

#include "export_alias.h"
#include "plugin/host_rows.h"
#include "tifferror/tiff_error_capture.h"

namespace {

constexpr char kCreateFailed[] = "Error creating TIF file";
constexpr char kWriteFailed[] = "Error in TIFFWriteScanline";

// How a host line becomes a file row.
enum class LineForm {
  kAsIs,         // the file row is a prefix of the host line
  kSwapRedBlue,  // the same, with blue-green-red exchanged in place for the write
  kFrom32,       // blue, green, red, unused -> red, green, blue in a row of our own
  kFrom16,       // little-endian 5-5-5 -> 8-bit red, green, blue in a row of our own
};

struct FileLayout {
  uint16_t samplesPerPixel;
  uint16_t bitsPerSample;
  uint16_t photometric;
  LineForm form;
};

// What TSaveRaster.Writer points to. The host treats it as opaque.
struct SaveState {
  TIFF* tiff = nullptr;
  uint32_t nextRow = 0;
  uint32_t width = 0;
  int32_t lineBits = 0;
  uint64_t lineStride = 0;    // RowBytes of the host's lines
  LineForm form = LineForm::kAsIs;
  std::vector<uint8_t> row;   // file row for the repacked forms
};

void Send(TTextCallback* errors, const char* text) {
  if (errors != nullptr && errors->Send != nullptr) errors->Send(errors, text);
}

// Our own refusals go through libtiff's error path so that the host finds the
// reason where it finds libtiff's.
void Refuse(const char* path, const char* format, long long value) {
  TIFFError(path != nullptr ? path : "ZeltoPlugIn_Save_Raster_Create", format, value);
}

FileLayout LayoutFor(int32_t bitsPerPixel) {
  const int32_t effective = bitsPerPixel == 16 ? 24 : bitsPerPixel;
  FileLayout layout{};
  if (effective <= 8) {
    layout = {1, uint16_t(effective), PHOTOMETRIC_PALETTE, LineForm::kAsIs};
  } else if (effective == 24 || effective == 32) {
    layout = {3, 8, PHOTOMETRIC_RGB, LineForm::kSwapRedBlue};
  } else {
    layout = {1, uint16_t(effective), PHOTOMETRIC_RGB,
              effective / 8 >= 3 ? LineForm::kSwapRedBlue : LineForm::kAsIs};
  }
  if (bitsPerPixel == 16) layout.form = LineForm::kFrom16;
  if (bitsPerPixel == 32) layout.form = LineForm::kFrom32;
  return layout;
}

// Refuses, before any file is touched, what no sound file can be made of.
bool CheckHostRaster(const char* path, const TSaveRaster& save) {
  if (save.Width <= 0) {
    Refuse(path, "Cannot save an image %lld pixels wide", save.Width);
    return false;
  }
  if (save.Height == 0) {
    Refuse(path, "Cannot save an image with %lld rows", 0);
    return false;
  }
  // BitsPerSample is a 16-bit field.
  if (save.BitsPerPixel <= 0 || save.BitsPerPixel > std::numeric_limits<uint16_t>::max()) {
    Refuse(path, "Cannot save %lld bits per pixel", save.BitsPerPixel);
    return false;
  }
  // One row is one strip, and a classic TIFF counts strip bytes in 32 bits.
  const uint64_t stride = RowBytes(uint64_t(save.Width), uint64_t(save.BitsPerPixel));
  const bool repacked = save.BitsPerPixel == 16 || save.BitsPerPixel == 32;
  const uint64_t fileRow = repacked ? 3 * uint64_t(save.Width) : 0;
  // Far beyond any map's row, and it keeps one row's buffers (ours and
  // libtiff's strip) from taking the host's memory.
  constexpr uint64_t kMaxRow = uint64_t(256) << 20;
  constexpr uint64_t kMaxBuffer = uint64_t(std::numeric_limits<tmsize_t>::max());
  if (stride > kMaxRow || stride > kMaxBuffer || fileRow > kMaxRow || fileRow > kMaxBuffer) {
    Refuse(path, "Cannot save rows of %lld pixels at this depth", save.Width);
    return false;
  }
  // Each row is a strip with a 4-byte offset and count, and PackBits needs at
  // least 2 bytes per 128: past that a classic TIFF cannot hold the image,
  // and libtiff would allocate its strip arrays (16 bytes a row) for nothing.
  const uint64_t rows = uint64_t(save.Height < 0 ? -int64_t(save.Height) : int64_t(save.Height));
  const uint64_t packedRow = 2 * (((repacked ? fileRow : stride) + 127) / 128);
  if (rows * (8 + packedRow) > (uint64_t(1) << 32)) {
    Refuse(path, "Cannot save %lld rows of this width in one TIFF file", save.Height);
    return false;
  }
  return true;
}

// The host's palette as a colour map of 8-bit values in 16-bit fields; past
// PaletteCount black. Depths below 8 without a palette get a grey ramp,
// because libtiff cannot open such a file without a colour map.
bool SetColorMap(TIFF* tiff, const TSaveRaster& save, uint16_t depth) {
  const bool hostPalette = save.PaletteCount > 0 && save.Palette != nullptr;
  if (!hostPalette && depth >= 8) return true;
  const uint32_t n = 1u << depth;
  std::vector<uint16_t> red(n, 0), green(n, 0), blue(n, 0);
  if (hostPalette) {
    const uint32_t count = uint32_t(save.PaletteCount) < n ? uint32_t(save.PaletteCount) : n;
    for (uint32_t j = 0; j < count; ++j) {
      const uint32_t e = save.Palette[j];
      red[j] = uint16_t((e >> 16) & 0xFF);
      green[j] = uint16_t((e >> 8) & 0xFF);
      blue[j] = uint16_t(e & 0xFF);
    }
  } else {
    for (uint32_t j = 0; j < n; ++j) red[j] = green[j] = blue[j] = uint16_t(j * 255 / (n - 1));
  }
  TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
  return true;
}

void SetTags(TIFF* tiff, uint32_t width, uint32_t height, const FileLayout& layout) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(1));
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 72.0);
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 72.0);
  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, uint32_t(0));
}

bool Create(const char* path, TSaveRaster* save, TTextCallback* errors) {
  InstallTiffErrorCapture();
  if (path == nullptr || save == nullptr) {
    Send(errors, kCreateFailed);
    return false;
  }
  // Everything that can fail is settled before TIFFOpen truncates the file.
  if (!CheckHostRaster(path, *save)) {
    Send(errors, kCreateFailed);
    return false;
  }
  const uint32_t width = uint32_t(save->Width);
  const uint32_t height = uint32_t(save->Height < 0 ? -int64_t(save->Height) : int64_t(save->Height));
  const FileLayout layout = LayoutFor(save->BitsPerPixel);
  const bool repacked = layout.form == LineForm::kFrom16 || layout.form == LineForm::kFrom32;

  auto state = std::make_unique<SaveState>();
  state->width = width;
  state->lineBits = save->BitsPerPixel;
  state->lineStride = RowBytes(width, uint64_t(save->BitsPerPixel));
  state->form = layout.form;
  if (repacked) state->row.assign(std::size_t(3) * width, 0);

  TIFF* tiff = TIFFOpen(path, "w");
  if (tiff == nullptr) {
    Send(errors, kCreateFailed);
    return false;
  }
  SetTags(tiff, width, height, layout);
  if (layout.photometric == PHOTOMETRIC_PALETTE) SetColorMap(tiff, *save, layout.bitsPerSample);

  // libtiff reads a whole scanline from whatever buffer it is given.
  const uint64_t scanline = TIFFScanlineSize64(tiff);
  const uint64_t source = repacked ? state->row.size() : state->lineStride;
  if (scanline == 0 || scanline > source || (repacked && scanline != source)) {
    TIFFError(path, "Scanline of %llu bytes does not fit lines of %llu bytes",
              (unsigned long long)scanline, (unsigned long long)source);
    TIFFClose(tiff);
    std::remove(path);
    Send(errors, kCreateFailed);
    return false;
  }

  state->tiff = tiff;
  save->Writer = state.release();
  save->Word40 = -1;
  save->LineBitsPerPixel = save->BitsPerPixel;
  save->GeoEmbedded = 0;
  save->Word28 = 1;
  save->Word32 = 1;
  return true;
}

void PackFrom32(const uint8_t* line, uint8_t* row, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, line += 4, row += 3) {
    row[0] = line[2];
    row[1] = line[1];
    row[2] = line[0];
  }
}

inline uint8_t Expand5(unsigned v) { return uint8_t((v * 255 + 15) / 31); }

void PackFrom16(const uint8_t* line, uint8_t* row, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, line += 2, row += 3) {
    const unsigned v = unsigned(line[0]) | (unsigned(line[1]) << 8);
    row[0] = Expand5((v >> 10) & 0x1F);
    row[1] = Expand5((v >> 5) & 0x1F);
    row[2] = Expand5(v & 0x1F);
  }
}

int WriteLine(SaveState& state, uint8_t* line) {
  const uint32_t rowNumber = state.nextRow++;
  switch (state.form) {
    case LineForm::kAsIs:
      return TIFFWriteScanline(state.tiff, line, rowNumber, 0);
    case LineForm::kSwapRedBlue: {
      const std::size_t bytesPerPixel = std::size_t(state.lineBits / 8);
      SwapRedBlue(line, state.width, bytesPerPixel);
      const int result = TIFFWriteScanline(state.tiff, line, rowNumber, 0);
      SwapRedBlue(line, state.width, bytesPerPixel);
      return result;
    }
    case LineForm::kFrom32:
      PackFrom32(line, state.row.data(), state.width);
      return TIFFWriteScanline(state.tiff, state.row.data(), rowNumber, 0);
    case LineForm::kFrom16:
      PackFrom16(line, state.row.data(), state.width);
      return TIFFWriteScanline(state.tiff, state.row.data(), rowNumber, 0);
  }
  return -1;
}

bool AddLines(TSaveRaster* save, TSaveLines* lines, TProgress* progress, TTextCallback* errors) {
  auto* state = save != nullptr ? static_cast<SaveState*>(save->Writer) : nullptr;
  if (state == nullptr) {
    Send(errors, kWriteFailed);
    return false;
  }
  const int64_t signedCount = lines != nullptr ? int64_t(lines->LineCount) : 0;
  const int64_t count = signedCount < 0 ? -signedCount : signedCount;
  if (progress != nullptr) {
    progress->Ops->SetTotal(progress, int32_t(count > INT32_MAX ? INT32_MAX : count));
  }
  if (count == 0) return true;
  // The file's layout was fixed from the width and depth given at create.
  if (lines->Bits == nullptr || save->Width != int32_t(state->width) ||
      save->LineBitsPerPixel != state->lineBits) {
    Send(errors, kWriteFailed);
    return false;
  }
  auto* line = static_cast<uint8_t*>(lines->Bits);
  for (int64_t i = 0; i < count; ++i, line += state->lineStride) {
    if (WriteLine(*state, line) < 0) {
      Send(errors, kWriteFailed);
      return false;
    }
    if (progress != nullptr) {
      progress->Ops->Advance(progress, 1);
      if (progress->Ops->IsCancelled(progress)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" {

bool ZeltoPlugIn_Save_Raster_Create(const char* path, TSaveRaster* save, TTextCallback* errors) {
  try {
    return Create(path, save, errors);
  } catch (...) {
    Send(errors, kCreateFailed);
    return false;
  }
}

bool ZeltoPlugIn_Save_Raster_AddLines(TSaveRaster* save, TSaveLines* lines, TProgress* progress,
                                      TTextCallback* errors) {
  try {
    return AddLines(save, lines, progress, errors);
  } catch (...) {
    Send(errors, kWriteFailed);
    return false;
  }
}

bool ZeltoPlugIn_Save_Raster_Close(TSaveRaster* save) {
  if (save == nullptr || save->Writer == nullptr) return true;
  auto* state = static_cast<SaveState*>(save->Writer);
  TIFFClose(state->tiff);
  delete state;
  save->Writer = nullptr;
  return true;
}

}  // extern "C"

ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Save_Raster_Create)
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Save_Raster_AddLines)
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Save_Raster_Close)

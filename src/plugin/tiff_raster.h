// The reader's per-file state, opaque to the host behind TOpenRaster.Reader.
#ifndef ZELTO_TIFF_RASTER_H
#define ZELTO_TIFF_RASTER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ZeltoPlugIn_TIFF.h"
#include "plugin/pixel_convert.h"

struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Where libtiff's sequential decoder of one handle stands, so that rows
// libtiff cannot seek to are reached by decoding forward.
struct ScanlineCursor {
  static constexpr uint32_t kUnknown = UINT32_MAX;
  uint32_t nextRow = kUnknown;
};

// How decoded rows come out of the file.
struct DecodeLayout {
  bool tiled = false;
  bool separate = false;       // one plane per sample, read and interleaved
  bool canSeek = false;        // uncompressed: libtiff reads any row directly
  uint16_t planes = 1;         // planes read (separate layout)
  uint32_t rowsPerStrip = 0;
  uint32_t tileWidth = 0;
  uint32_t tileLength = 0;
  uint64_t scanlineBytes = 0;  // libtiff's decoded row (one plane when separate)
  uint64_t nativeRowBytes = 0; // the interleaved row the converter reads
};

struct TTiffRaster {
  TIFF* Tiff = nullptr;
  TPaletteEntry Palette[256] = {};
  int32_t PaletteCount = 0;

  TiffHandle handle;                  // owns Tiff
  std::vector<TiffHandle> planeHandles;  // planes 1.. of a separate stripped file
  std::vector<ScanlineCursor> cursors;   // one per handle: [0] is Tiff
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t depth = 0;
  DecodeLayout layout;
  PixelConversion conversion;
};

#endif

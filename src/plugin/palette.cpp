#include "plugin/palette.h"

#include <cstring>

namespace {

bool IsBlack(const TPaletteEntry& e) { return e.Blue == 0 && e.Green == 0 && e.Red == 0 && e.Reserved == 0; }

void SetEntry(TPaletteEntry& e, uint8_t red, uint8_t green, uint8_t blue) {
  e.Blue = blue;
  e.Green = green;
  e.Red = red;
  e.Reserved = 0;
}

}  // namespace

void ReadPalette(TIFF* tiff, TPaletteEntry* palette, int32_t* count, int32_t depth) {
  if (depth > 8) {
    *count = 0;
    return;
  }
  // Entries no rule fills stay black.
  std::memset(palette, 0, 256 * sizeof(TPaletteEntry));
  uint16_t photometric = 0;
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0;

  if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) {
    const bool white0 = photometric == PHOTOMETRIC_MINISWHITE;
    if (depth == 1) {
      SetEntry(palette[0], white0 ? 255 : 0, white0 ? 255 : 0, white0 ? 255 : 0);
      SetEntry(palette[1], white0 ? 0 : 255, white0 ? 0 : 255, white0 ? 0 : 255);
    } else {
      for (int i = 0; i < 256; ++i) {
        const uint8_t v = uint8_t(white0 ? 255 - i : i);
        SetEntry(palette[i], v, v, v);
      }
    }
  } else if (photometric == PHOTOMETRIC_PALETTE && depth >= 1) {
    const int n = 1 << depth;
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    // libtiff sizes the map by BitsPerSample, which is the delivered depth here.
    if (TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue) {
      bool wide = false;
      for (int i = 0; i < n && !wide; ++i) wide = red[i] >= 256 || green[i] >= 256 || blue[i] >= 256;
      const int shift = wide ? 8 : 0;
      for (int i = n - 1; i >= 0; --i)
        SetEntry(palette[i], uint8_t(red[i] >> shift), uint8_t(green[i] >> shift), uint8_t(blue[i] >> shift));
    }
  }

  int32_t c = 256;
  if (depth == 1) c = 2;
  else if (depth == 2) c = 4;
  else if (depth == 4) c = 16;

  int32_t firstBlack = -1;
  for (int32_t i = 0; i < c; ++i) {
    if (IsBlack(palette[i])) {
      firstBlack = i;
      break;
    }
  }
  if (firstBlack > 0)
    while (c - 1 > firstBlack && IsBlack(palette[c - 1])) --c;
  *count = c;
}

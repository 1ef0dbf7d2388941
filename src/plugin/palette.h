#ifndef ZELTO_PALETTE_H
#define ZELTO_PALETTE_H

#include <cstdint>

#include <tiffio.h>

#include "ZeltoPlugIn_TIFF.h"

// Builds the host palette of a raster delivered below 16 bits per pixel.
void ReadPalette(TIFF* tiff, TPaletteEntry* palette, int32_t* count, int32_t depth);

#endif

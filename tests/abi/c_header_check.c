/* The public header is plain C: this file only has to compile. */
#include "ZeltoPlugIn_TIFF.h"

int zelto_c_header_check(void) {
  TOpenRaster raster;
  raster.BitsPerPixel = 0;
  return raster.BitsPerPixel + (int)sizeof(TZoneBitmap) + (int)sizeof(TSaveRaster) + (int)sizeof(TSaveLines);
}

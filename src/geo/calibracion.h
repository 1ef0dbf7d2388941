// The host's calibration text for a GeoTIFF.
#ifndef ZELTO_GEO_CALIBRACION_H
#define ZELTO_GEO_CALIBRACION_H

// One calibration point: a pixel position and its map coordinates.
struct TPuntCal {
  double XPixel;
  double YPixel;
  double XMapa;
  double YMapa;
};
static_assert(sizeof(TPuntCal) == 32, "TPuntCal is four doubles");

#endif

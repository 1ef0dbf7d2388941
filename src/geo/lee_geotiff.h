// The georeference reader behind the typed export Lee_GeoTIFF.
#ifndef ZELTO_GEO_LEE_GEOTIFF_H
#define ZELTO_GEO_LEE_GEOTIFF_H

#include "GeoTiffDLL.h"

inline constexpr char kErrorAbriendoTif[] = "Error openning TIF file";
// One line, no blank after "option.": the host shows it as it comes.
inline constexpr char kSinInformacionGeografica[] =
    "The TIF map you are trying to open has not geographic information in it. Try the Import Map "
    "option.If this also fails, you will have to calibrate it manually to be able to open it.";

// Flags, counts, codes and image size to 0, doubles to 0.0, texts emptied by
// their first byte; Reservado and the gaps are left as they are.
void Inicializa_DatosGeoTiff(TDatosGeoTiffDLL* datos);

#endif

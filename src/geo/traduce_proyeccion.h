// GeoTIFF datum names and projection descriptions in the host's vocabulary.
#ifndef ZELTO_GEO_TRADUCE_PROYECCION_H
#define ZELTO_GEO_TRADUCE_PROYECCION_H

#include "DString.h"
#include "GeoTiffDLL.h"

// "GCS_" and then "Datum_" dropped from the front, '_' turned into blanks.
DString Limpia_NombreDatum(const char* nombre);

// Turns the description (or else the catalogue's WKT projection text, or else
// the Lambert keys of the record) into the host's projection line. On failure
// `proyeccion` keeps what it came with and `error` holds the reason; `datum`
// changes only for a "UTM Zone" citation.
bool Traduce_Proyeccion(DString& proyeccion, const TDatosGeoTiffDLL* datos, const DString& wkt, DString& error,
                        DString& datum);

#endif

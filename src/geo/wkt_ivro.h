// The WKT catalogue beside the host program: EPSG code -> datum name and
// projection text ("name,param=value,...") by plain text search.
#ifndef ZELTO_GEO_WKT_IVRO_H
#define ZELTO_GEO_WKT_IVRO_H

#include "DString.h"

class Twkt_Ivro {
 public:
  // Scans "WKT_IVRO.DAT" from the start on every call. datum and proyeccion
  // are assigned only when the entry's WKT has them, and never on failure.
  bool Interpreta(int epsg, DString& datum, DString& proyeccion, DString& error);
};

// The module's one catalogue.
extern Twkt_Ivro WktIvro;

#endif

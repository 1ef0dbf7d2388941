#include "geo/traduce_proyeccion.h"

#include <cstdint>

#include "base/vector.h"

namespace {

constexpr char kNoSePuedeLeer[] = "Error, ZeltoPlugIn_TIFF cannot read this projection ";
constexpr char kPrefijoUtm[] = "Proj_UTM_zone_";
constexpr int kLongitudPrefijoUtm = sizeof kPrefijoUtm - 1;

void AnadeReal(DString& linea, double v) {
  linea.Anade(v);
  linea.Anade(',');
}

void AnadeClavesLambert(DString& linea, const TDatosGeoTiffDLL* datos) {
  AnadeReal(linea, datos->Paralelo1);
  AnadeReal(linea, datos->Paralelo2);
  AnadeReal(linea, datos->LatOrigen);
  AnadeReal(linea, datos->LongOrigen);
  AnadeReal(linea, datos->FalsoEste);
  AnadeReal(linea, datos->FalsoNorte);
}

// Every projection line is written with 8 decimals.
void Empieza(DString& proyeccion, const char* cabecera) {
  proyeccion.PonDecimales(8);
  proyeccion.Asigna(cabecera);
}

// A library UTM name: the prefix, decimal digits, then the hemisphere.
// Anything else is not taken for one.
bool LeeNombreUtm(const DString& d, int& zona, char& hemisferio) {
  if (d.ComparaN(kPrefijoUtm, kLongitudPrefijoUtm) != 0) return false;
  int i = kLongitudPrefijoUtm;
  int64_t valor = 0;
  while (EsDigito(d.Caracter(i))) {
    if (valor < INT32_MAX) valor = valor * 10 + (d.Caracter(i) - '0');
    ++i;
  }
  if (i == kLongitudPrefijoUtm) return false;
  const char h = d.Caracter(i);
  if (h != 'N' && h != 'S') return false;
  zona = valor < INT32_MAX ? static_cast<int>(valor) : INT32_MAX;
  hemisferio = h;
  return true;
}

struct ParametrosWkt {
  double latitudOrigen = 0.0;
  double meridianoCentral = 0.0;
  double factorEscala = 0.0;
  double falsoEste = 0.0;
  double falsoNorte = 0.0;
  double paralelo1 = 0.0;
  double paralelo2 = 0.0;
};

// The pieces after the projection name, each "name=value".
bool LeeParametros(const Vector<DString>& piezas, const char* mensaje, ParametrosWkt& p, DString& error) {
  for (int i = 1; i < piezas.Numero(); ++i) {
    const DString& pieza = *piezas.Elemento(i);
    DString nombre, valor;
    if (!pieza.DivideClaveValor(nombre, valor)) {
      error.Asigna(mensaje);
      error.Anade(pieza);
      return false;
    }
    const double v = valor.ValorReal(false);
    if (nombre.EsIgual("latitude_of_origin")) p.latitudOrigen = v;
    else if (nombre.EsIgual("central_meridian")) p.meridianoCentral = v;
    else if (nombre.EsIgual("scale_factor")) p.factorEscala = v;
    else if (nombre.EsIgual("false_easting")) p.falsoEste = v;
    else if (nombre.EsIgual("false_northing")) p.falsoNorte = v;
    else if (nombre.EsIgual("standard_parallel_1")) p.paralelo1 = v;
    else if (nombre.EsIgual("standard_parallel_2")) p.paralelo2 = v;
  }
  return true;
}

bool TraduceDescripcion(DString& proyeccion, const TDatosGeoTiffDLL* datos, DString& error, DString& datum) {
  DString d(proyeccion);
  if (d.EsIgual("Albers Equal Area North American 1927")) d.Asigna("Albers");

  int zona = 0;
  char hemisferio = 0;
  if (LeeNombreUtm(d, zona, hemisferio)) {
    Empieza(proyeccion, "0,UTM,");
    proyeccion.Anade(zona).Anade(',').Anade(hemisferio).Anade(',');
    return true;
  }

  if (d.ComparaN("UTM Zone", 8) == 0) {
    DString resto(d.Texto() + 8);
    Vector<DString> palabras(10, 10);
    resto.Divide(" ", palabras, -1, false);
    if (palabras.Numero() < 4) {
      error.Asigna("Error in UTM Zone format");
      return false;
    }
    if (!palabras.Elemento(2)->EsIgual("with")) {
      error.Asigna("Error 2 in UTM Zone format");
      return false;
    }
    datum.Asigna(*palabras.Elemento(3));
    Empieza(proyeccion, "0,UTM,");
    proyeccion.Anade(palabras.Elemento(0)->ValorEntero()).Anade(',').Anade(*palabras.Elemento(1)).Anade(',');
    return true;
  }

  Empieza(proyeccion, "99,");
  proyeccion.Anade(d).Anade(',');
  AnadeClavesLambert(proyeccion, datos);
  return true;
}

bool TraduceWkt(DString& proyeccion, const DString& wkt, DString& error) {
  Vector<DString> piezas(10, 10);
  wkt.Divide(",", piezas, -1, false);
  if (piezas.Numero() < 1) {
    error.Asigna(kNoSePuedeLeer);
    return false;
  }
  const DString& nombre = *piezas.Elemento(0);
  ParametrosWkt p;
  if (nombre.EsIgual("Transverse_Mercator")) {
    if (!LeeParametros(piezas, "Error 1 int TIF TProyeccion_Lee_Geotif", p, error)) return false;
    Empieza(proyeccion, "3,Transversal Mercator,");
    AnadeReal(proyeccion, p.meridianoCentral);
    AnadeReal(proyeccion, p.latitudOrigen);
    AnadeReal(proyeccion, p.falsoNorte);
    AnadeReal(proyeccion, p.falsoEste);
    AnadeReal(proyeccion, p.factorEscala);
    return true;
  }
  if (nombre.EsIgual("Lambert_Conformal_Conic_1SP")) {
    if (!LeeParametros(piezas, "Error 2 int TIF TProyeccion_Lee_Geotif", p, error)) return false;
    Empieza(proyeccion, "9,Lambert 1SP,");
    AnadeReal(proyeccion, p.latitudOrigen);
    AnadeReal(proyeccion, p.meridianoCentral);
    AnadeReal(proyeccion, p.falsoEste);
    AnadeReal(proyeccion, p.falsoNorte);
    AnadeReal(proyeccion, p.factorEscala);
    return true;
  }
  if (nombre.EsIgual("Lambert_Conformal_Conic_2SP")) {
    // The host's 2SP form, in the order of the GeoTIFF-key case.
    if (!LeeParametros(piezas, "Error 3 int TIF TProyeccion_Lee_Geotif", p, error)) return false;
    Empieza(proyeccion, "9,Lambert 2SP,");
    AnadeReal(proyeccion, p.paralelo1);
    AnadeReal(proyeccion, p.paralelo2);
    AnadeReal(proyeccion, p.latitudOrigen);
    AnadeReal(proyeccion, p.meridianoCentral);
    AnadeReal(proyeccion, p.falsoEste);
    AnadeReal(proyeccion, p.falsoNorte);
    return true;
  }
  error.Asigna(kNoSePuedeLeer);
  error.Anade(nombre);
  return false;
}

}  // namespace

DString Limpia_NombreDatum(const char* nombre) {
  DString limpio(nombre);
  if (limpio.ComparaN("GCS_", 4) == 0) {
    DString resto(limpio.Texto() + 4);
    limpio.Asigna(resto);
  }
  if (limpio.ComparaN("Datum_", 6) == 0) {
    DString resto(limpio.Texto() + 6);
    limpio.Asigna(resto);
  }
  limpio.SustituyeCaracter('_', ' ');
  return limpio;
}

bool Traduce_Proyeccion(DString& proyeccion, const TDatosGeoTiffDLL* datos, const DString& wkt, DString& error,
                        DString& datum) {
  if (!proyeccion.EstaVacio()) return TraduceDescripcion(proyeccion, datos, error, datum);
  if (!wkt.EstaVacio()) return TraduceWkt(proyeccion, wkt, error);
  if (datos->TransfCoord == 8) {
    Empieza(proyeccion, "9,Lambert 2SP,");
    AnadeClavesLambert(proyeccion, datos);
    return true;
  }
  error.Asigna(kNoSePuedeLeer);
  error.Anade("ProjCoordTransGeoKey=").Anade(static_cast<int>(datos->TransfCoord));
  return false;
}

#include "geo/calibracion.h"

#include "DString.h"
#include "GeoTiffDLL.h"
#include "base/vector.h"
#include "export_alias.h"
#include "geo/lee_geotiff.h"
#include "geo/traduce_proyeccion.h"
#include "geo/wkt_ivro.h"

namespace {

constexpr int kMaxTiePoints = 4;
// A constant in map units, whatever the units: hosts calibrated against it.
constexpr double kMargenEsquina = 0.5;

void AnadePunto(Vector<TPuntCal>& puntos, double xPixel, double yPixel, double xMapa, double yMapa) {
  TPuntCal* p = puntos.AnadeNuevo(-1);
  p->XPixel = xPixel;
  p->YPixel = yPixel;
  p->XMapa = xMapa;
  p->YMapa = yMapa;
}

void AnadeLinea(DString& texto, const char* clave, const DString& valor) {
  texto.Anade(clave).Anade(valor).Anade("\r\n");
}

void AnadeLinea(DString& texto, const char* clave, int valor) {
  texto.Anade(clave).Anade(valor).Anade("\r\n");
}

// Fills `texto` with the calibration, or `mensaje` with the one failure message.
bool ConstruyeCalibracion(const char* path, DString& texto, DString& mensaje) {
  TDatosGeoTiffDLL datos;
  DString error;
  if (!Lee_GeoTIFF(path, &datos, error)) {
    mensaje.Asigna(error);
    return false;
  }
  if (!datos.HayTiePoints && !datos.HayEscala && !datos.HayMatriz) {
    mensaje.Asigna(kSinInformacionGeografica);
    return false;
  }

  DString datum;
  if (datos.NombreGeografico[0] != '\0') datum = Limpia_NombreDatum(datos.NombreGeografico);
  if (datum.EstaVacio() && datos.NombreDatum[0] != '\0') datum = Limpia_NombreDatum(datos.NombreDatum);

  DString wkt;
  if (datos.NombrePCS[0] != '\0' && datos.CodigoPCS != 32767) {
    DString datumCatalogo;
    if (!WktIvro.Interpreta(datos.CodigoPCS, datumCatalogo, wkt, error)) {
      mensaje.Asigna(error);
      return false;
    }
    if (datum.EstaVacio() && !datumCatalogo.EstaVacio()) datum = Limpia_NombreDatum(datumCatalogo.Texto());
  }

  DString proyeccion;
  if (wkt.EstaVacio()) {
    if (datos.CitaPCS[0] != '\0') {
      proyeccion.Asigna(datos.CitaPCS);
      proyeccion.CortaEn('|');
    }
    if (datos.NombreProyeccion[0] != '\0') proyeccion.Asigna(datos.NombreProyeccion);
  }

  if (datos.TipoModelo == 2) {
    proyeccion.Asigna("1,Lat/Long");
  } else {
    // A failed translation is not the host's failure: the text goes out with
    // whatever projection value is left.
    DString errorTraduccion;
    Traduce_Proyeccion(proyeccion, &datos, wkt, errorTraduccion, datum);
  }

  Vector<TPuntCal> puntos(10, 10);
  // Lee_GeoTIFF keeps at most four tiepoints; never read past them here either.
  const int numTiePoints = datos.NumTiePoints < kMaxTiePoints ? datos.NumTiePoints : kMaxTiePoints;
  for (int n = 0; n < numTiePoints; ++n) {
    const double* t = &datos.TiePoints[6 * n];
    AnadePunto(puntos, t[0], t[1], t[3], t[4]);
  }
  if (numTiePoints == 1 && datos.HayEscala == 1) {
    const TPuntCal p0 = *puntos.Elemento(0);
    const double w = datos.Ancho, h = datos.Alto;
    const double x1 = p0.XMapa + w * datos.Escala[0] + kMargenEsquina;
    const double y1 = p0.YMapa - (h * datos.Escala[1] + kMargenEsquina);
    AnadePunto(puntos, p0.XPixel + w, p0.YPixel + h, x1, y1);
    AnadePunto(puntos, p0.XPixel, p0.YPixel + h, p0.XMapa, y1);
    AnadePunto(puntos, p0.XPixel + w, p0.YPixel, x1, p0.YMapa);
  }
  if (puntos.Numero() < 2) {
    mensaje.Asigna(datos.HayMatriz == 1 ? "Error 3 opening GeoTIFF" : "Error 4 opening GeoTIFF");
    return false;
  }

  texto.Asigna("Zeltomap MAP File\r\n<Header>\r\nVersion=2\r\nVerZeltomap=6.2.n\r\n");
  AnadeLinea(texto, "Projection=", proyeccion);
  AnadeLinea(texto, "Coordinates=", datos.TipoModelo == 2 ? 1 : -1);
  AnadeLinea(texto, "Datum=", datum);
  texto.Anade("</Header>\r\n<Map>\r\n");
  AnadeLinea(texto, "Bitmap=", DString(path));
  AnadeLinea(texto, "BitmapWidth=", static_cast<int>(datos.Ancho));
  AnadeLinea(texto, "BitmapHeight=", static_cast<int>(datos.Alto));
  texto.Anade("</Map>\r\n<Calibration>\r\n");
  texto.PonDecimales(7);
  for (int n = 0; n < puntos.Numero(); ++n) {
    const TPuntCal& p = *puntos.Elemento(n);
    texto.Anade('P').Anade(n).Anade('=');
    texto.Anade(p.XPixel).Anade(',').Anade(p.YPixel).Anade(",A,");
    texto.Anade(p.XMapa).Anade(',').Anade(p.YMapa).Anade("\r\n");
  }
  texto.Anade("</Calibration>\r\n");
  return true;
}

void Envia(TTextCallback* destino, const char* texto) {
  if (destino != nullptr && destino->Send != nullptr) destino->Send(destino, texto);
}

}  // namespace

bool ZeltoPlugIn_Lee_Calibracion(const char* path, TTextCallback* salida, TTextCallback* errores) {
  bool ok = false;
  const char* fallo = kErrorAbriendoTif;
  DString texto;
  DString mensaje;
  try {
    ok = ConstruyeCalibracion(path, texto, mensaje);
    if (!ok) fallo = mensaje.Texto();
  } catch (...) {
    // Nothing thrown inside may reach the host.
    ok = false;
    fallo = kErrorAbriendoTif;
  }
  if (ok) {
    Envia(salida, texto.Texto());
  } else {
    Envia(errores, fallo);
  }
  return ok;
}
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Lee_Calibracion)

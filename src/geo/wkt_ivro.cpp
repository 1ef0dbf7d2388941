#include "geo/wkt_ivro.h"

#include "files/fichero_itv.h"
#include "files/nombre_fichero.h"

Twkt_Ivro WktIvro;

namespace {

// The text from `desde` (clamped to the end) up to the first `fin`.
DString TextoHasta(const DString& registro, int desde, char fin) {
  const int n = registro.Longitud();
  DString parte(registro.Texto() + (desde < n ? desde : n));
  parte.CortaEn(fin);
  return parte;
}

}  // namespace

bool Twkt_Ivro::Interpreta(int epsg, DString& datum, DString& proyeccion, DString& error) {
  DString ruta("WKT_IVRO.DAT");
  RutaJuntoAlPrograma(ruta);
  TFicheroITV fichero;
  if (!fichero.Abre(ruta, FITV_LECTURA | FITV_TEXTO)) {
    error.Asigna("File not found: ");
    error.Anade(ruta);
    return false;
  }

  DString clave("EPSG=");
  clave.Anade(epsg);
  DString registro;
  bool encontrada = false;
  fichero.LeeRegistro(registro);
  while (!registro.EstaVacio() && !encontrada) {
    encontrada = registro.EsIgual(clave);
    fichero.LeeRegistro(registro);
  }
  if (!encontrada) {
    // The file's historical name, as hosts have always shown it.
    error.Asigna(clave);
    error.Anade(" not found in wpt_ivro.dat");
    return false;
  }
  if (registro.EstaVacio()) {
    error.Asigna("Error 2 in Twkt_Ivro::Interpreta");
    return false;
  }

  const int p = registro.Busca("DATUM[");
  if (p >= 0) datum.Asigna(TextoHasta(registro, p + 7, '"'));

  const int q = registro.Busca("PROJECTION[");
  if (q >= 0) {
    DString texto = TextoHasta(registro, q + 12, '"');
    const int n = registro.Longitud();
    int pos = q + 12 + texto.Longitud();
    while (pos < n) {
      const int r = registro.Busca("PARAMETER[", pos, false, false, false);
      if (r < 0) break;
      pos = r + 11;
      const DString nombre = TextoHasta(registro, pos, '"');
      texto.Anade(',').Anade(nombre).Anade('=');
      pos += nombre.Longitud() + 2;
      const DString valor = TextoHasta(registro, pos, ']');
      texto.Anade(valor);
      pos += valor.Longitud();
    }
    proyeccion.Asigna(texto);
  }
  return true;
}

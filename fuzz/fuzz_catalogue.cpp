// The record reader (LeeRegistro, get_dato_texto, LeeEntero) and the WKT
// catalogue (Twkt_Ivro::Interpreta) on text bytes.
// Input: mode byte, record limit (int16), EPSG code (int32), then the text.
#include <cstdlib>

#include "DString.h"
#include "files/fichero_itv.h"
#include "fuzz_common.h"
#include "geo/wkt_ivro.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::UseWorkDirAsProgramDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::Input in(data, size);
  const uint8_t mode = in.Take<uint8_t>();
  const int32_t maximo = in.Take<int16_t>();
  int32_t epsg = in.Take<int32_t>();
  const std::string path = fuzzing::WriteScratch("records.txt", in.Rest(), in.RestSize());
  // Each read consumes at least one byte, so this bounds a sound reader.
  const size_t maxReads = in.RestSize() + 4;

  {
    TFicheroITV f;
    if (f.Abre(DString(path.c_str()), FITV_LECTURA | FITV_TEXTO)) {
      DString registro;
      size_t reads = 0;
      do {
        f.LeeRegistro(registro, maximo);
        const int limit = maximo < 1 ? 19999 : maximo - 1;
        if (registro.Longitud() > limit) std::abort();
        if (++reads > maxReads) std::abort();
      } while (!registro.EstaVacio() || !f.FinArchivo());
    }
  }
  {
    TFicheroITV f;
    if (f.Abre(DString(path.c_str()), FITV_LECTURA | FITV_TEXTO)) {
      DString campo;
      int32_t valor = 0;
      for (size_t reads = 0; reads < maxReads; ++reads) {
        if (mode & 1)
          f.LeeEntero(valor);
        else
          f.get_dato_texto(campo);
        if (f.FinArchivo() && campo.EstaVacio()) break;
        campo.Asigna("");
      }
    }
  }

  fuzzing::WriteCatalogue(in.Rest(), in.RestSize());
  if (mode & 2) {
    // The code of the first entry, so that the WKT itself is reached.
    const std::string text(reinterpret_cast<const char*>(in.Rest()), in.RestSize());
    const size_t at = text.find("EPSG=");
    if (at != std::string::npos) epsg = std::atoi(text.c_str() + at + 5);
  }
  DString datum, proyeccion, error;
  WktIvro.Interpreta(epsg, datum, proyeccion, error);
  return 0;
}

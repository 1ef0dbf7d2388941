// Lee_GeoTIFF and ZeltoPlugIn_Lee_Calibracion on GeoTIFF bytes, with a
// catalogue beside the program. Input: the file.
#include <cstdlib>

#include "DString.h"
#include "GeoTiffDLL.h"
#include "fuzz_common.h"

namespace {

// Every text field of the record must end inside its field.
void CheckTerminated(const char* field, size_t room) {
  if (std::memchr(field, 0, room) == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::UseWorkDirAsProgramDir();
  fuzzing::WriteCatalogue(fuzzing::kDefaultCatalogue, std::strlen(fuzzing::kDefaultCatalogue));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzing::WriteScratch("geo.tif", data, size);

  TDatosGeoTiffDLL datos;
  std::memset(&datos, 0x5A, sizeof datos);
  DString error;
  if (Lee_GeoTIFF(path.c_str(), &datos, error) != 0) {
    CheckTerminated(datos.NombreGCS, sizeof datos.NombreGCS);
    CheckTerminated(datos.NombreGeografico, sizeof datos.NombreGeografico);
    CheckTerminated(datos.NombreDatum, sizeof datos.NombreDatum);
    CheckTerminated(datos.NombrePCS, sizeof datos.NombrePCS);
    CheckTerminated(datos.NombreProyeccion, sizeof datos.NombreProyeccion);
    CheckTerminated(datos.CitaPCS, sizeof datos.CitaPCS);
    CheckTerminated(datos.OtrasClaves, sizeof datos.OtrasClaves);
    if (datos.NumTiePoints < 0 || datos.NumTiePoints > 4) std::abort();
  }
  volatile size_t n = std::strlen(error.Texto());
  (void)n;

  fuzzing::Sink output, errors;
  ZeltoPlugIn_Lee_Calibracion(path.c_str(), &output, &errors);
  return 0;
}

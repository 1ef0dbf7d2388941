#include "geo/lee_geotiff.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <geotiffio.h>
#include <xtiffio.h>

#include "DString.h"
#include "geo/geokey_directory.h"
#include "tifferror/tiff_error_capture.h"

namespace {

constexpr uint32_t kModelPixelScaleTag = 33550;
constexpr uint32_t kModelTiepointTag = 33922;
constexpr uint32_t kModelTransformationTag = 34264;
constexpr std::size_t kMaxTiePointValues = 24;

// Closes what was opened on every path, exceptions included.
class GeoTiffHandles {
 public:
  GeoTiffHandles() = default;
  GeoTiffHandles(const GeoTiffHandles&) = delete;
  GeoTiffHandles& operator=(const GeoTiffHandles&) = delete;
  ~GeoTiffHandles() {
    if (gtif != nullptr) GTIFFree(gtif);
    if (tif != nullptr) XTIFFClose(tif);
  }
  TIFF* tif = nullptr;
  GTIF* gtif = nullptr;
};

// libgeotiff's own callback prints to stderr; the reason is not the host's concern.
void DiscardGeoTiffMessage(GTIF*, int, const char*, ...) {}

struct DecodedKey {
  int32_t number = -1;
  double real = -1.0;
  bool singleShort = false;
  bool ascii = false;
  std::string text;
};

int32_t TruncateToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(v);  // toward zero
}

DecodedKey Decode(const RawGeoKey& key) {
  DecodedKey d;
  if (key.kind == RawGeoKey::kShort && key.shorts.size() == 1) {
    d.number = key.shorts[0];
    d.real = key.shorts[0];
    d.singleShort = true;
  } else if (key.kind == RawGeoKey::kDouble && key.doubles.size() == 1) {
    d.number = TruncateToInt32(key.doubles[0]);
    d.real = key.doubles[0];
  } else if (key.kind == RawGeoKey::kAscii) {
    d.ascii = true;
    d.text = key.asciiTail;
  }
  return d;
}

// Cut to the field, terminator included.
void CopyField(char* field, std::size_t size, const std::string& text) {
  std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
  CopyField(field, N, text);
}

// GTIFValueName and GTIFKeyName share one buffer for "Unknown-%d": copy at once.
std::string ValueName(int key, int value) {
  const char* name = GTIFValueName(static_cast<geokey_t>(key), value);
  return name != nullptr ? std::string(name) : std::string();
}

std::string KeyName(int key) {
  const char* name = GTIFKeyName(static_cast<geokey_t>(key));
  return name != nullptr ? std::string(name) : std::string();
}

void StoreKey(const RawGeoKey& key, TDatosGeoTiffDLL* datos, std::string& otras, bool& otrasFull) {
  const DecodedKey d = Decode(key);
  switch (key.id) {
    case 1024: datos->TipoModelo = d.number; return;
    case 1025: return;
    // The coded keys name their value only when stored as GeoTIFF defines
    // them (one SHORT); otherwise the code is kept and the names stay empty.
    case 2048:
      datos->CodigoGeografico = d.number;
      if (d.singleShort) {
        const std::string name = ValueName(key.id, d.number);
        CopyField(datos->NombreGCS, name);
        CopyField(datos->NombreGeografico, name);
      }
      return;
    case 2050:
      if (d.singleShort) {
        const std::string name = ValueName(key.id, d.number);
        CopyField(datos->NombreGCS, name);
        CopyField(datos->NombreDatum, name);
      }
      return;
    case 3072:
      datos->CodigoPCS = d.number;
      if (d.singleShort) CopyField(datos->NombrePCS, ValueName(key.id, d.number));
      return;
    case 3073: CopyField(datos->CitaPCS, d.text); return;
    case 3074:
      datos->CodigoProyeccion = d.number;
      if (d.singleShort) CopyField(datos->NombreProyeccion, ValueName(key.id, d.number));
      return;
    case 3075: datos->TransfCoord = d.number; return;
    case 3078: datos->Paralelo1 = d.real; return;
    case 3079: datos->Paralelo2 = d.real; return;
    case 3080: datos->LongOrigen = d.real; return;
    case 3081: datos->LatOrigen = d.real; return;
    case 3082: datos->FalsoEste = d.real; return;
    case 3083: datos->FalsoNorte = d.real; return;
    default: break;
  }
  if (otrasFull) return;
  char number[16];
  std::snprintf(number, sizeof number, "%d ", static_cast<int>(d.number));
  std::string line = KeyName(key.id);
  line += '=';
  line += number;
  if (d.singleShort) line += ValueName(key.id, d.number);
  if (d.ascii) line += d.text;
  line += "\r\n";
  // Whole lines only; once one does not fit the listing ends there.
  if (otras.size() + line.size() < sizeof datos->OtrasClaves) {
    otras += line;
  } else {
    otrasFull = true;
  }
}

int ReadGeoTiff(const char* path, TDatosGeoTiffDLL* datos, GeoTiffHandles& h, const char*& message) {
  h.tif = path != nullptr ? XTIFFOpen(path, "r") : nullptr;
  if (h.tif == nullptr) {
    message = kErrorAbriendoTif;
    return 0;
  }
  // Only on a handle XTIFFOpen made: anonymous GeoTIFF tags crash GTIFNew.
  h.gtif = GTIFNewEx(h.tif, DiscardGeoTiffMessage, nullptr);
  if (h.gtif == nullptr) {
    message = kSinInformacionGeografica;
    return 0;
  }
  datos->HayTiePoints = 0;
  datos->HayEscala = 0;
  datos->HayMatriz = 0;

  std::vector<double> values;
  if (ReadDoubleTag(h.tif, kModelTiepointTag, values)) {
    datos->HayTiePoints = 1;
    // Room for four tiepoints: the rest are dropped, and the count agrees.
    const std::size_t kept = values.size() < kMaxTiePointValues ? values.size() : kMaxTiePointValues;
    for (std::size_t i = 0; i < kept; ++i) datos->TiePoints[i] = values[i];
    std::size_t count = values.size() / 6;
    datos->NumTiePoints = static_cast<int32_t>(count < kMaxTiePointValues / 6 ? count : kMaxTiePointValues / 6);
  }
  if (ReadDoubleTag(h.tif, kModelPixelScaleTag, values)) {
    for (std::size_t i = 0; i < 3; ++i) datos->Escala[i] = i < values.size() ? values[i] : 0.0;
    datos->HayEscala = 1;
  }
  uint32_t width = 0, length = 0;
  uint16_t bits = 0;
  if (TIFFGetField(h.tif, TIFFTAG_IMAGEWIDTH, &width)) datos->Ancho = static_cast<int32_t>(width);
  if (TIFFGetField(h.tif, TIFFTAG_IMAGELENGTH, &length)) datos->Alto = static_cast<int32_t>(length);
  if (TIFFGetFieldDefaulted(h.tif, TIFFTAG_BITSPERSAMPLE, &bits)) datos->BitsMuestra = bits;
  if (ReadDoubleTag(h.tif, kModelTransformationTag, values)) {
    datos->HayMatriz = 1;
    for (std::size_t i = 0; i < 16; ++i) datos->Matriz[i] = i < values.size() ? values[i] : 0.0;
  }

  std::string otras;
  bool otrasFull = false;
  for (const RawGeoKey& key : ReadGeoKeyDirectory(h.tif)) StoreKey(key, datos, otras, otrasFull);
  CopyField(datos->OtrasClaves, otras);
  return 1;
}

}  // namespace

void Inicializa_DatosGeoTiff(TDatosGeoTiffDLL* datos) {
  datos->HayTiePoints = 0;
  for (double& v : datos->TiePoints) v = 0.0;
  datos->HayEscala = 0;
  for (double& v : datos->Escala) v = 0.0;
  datos->HayMatriz = 0;
  for (double& v : datos->Matriz) v = 0.0;
  datos->TipoModelo = 0;
  datos->NombreGCS[0] = '\0';
  datos->NombreGeografico[0] = '\0';
  datos->CodigoGeografico = 0;
  datos->NombreDatum[0] = '\0';
  datos->NombrePCS[0] = '\0';
  datos->CodigoPCS = 0;
  datos->NombreProyeccion[0] = '\0';
  datos->CitaPCS[0] = '\0';
  datos->CodigoProyeccion = 0;
  datos->OtrasClaves[0] = '\0';
  datos->TransfCoord = 0;
  datos->Paralelo1 = 0.0;
  datos->Paralelo2 = 0.0;
  datos->LongOrigen = 0.0;
  datos->LatOrigen = 0.0;
  datos->FalsoEste = 0.0;
  datos->FalsoNorte = 0.0;
  datos->Ancho = 0;
  datos->Alto = 0;
  datos->NumTiePoints = 0;
  datos->BitsMuestra = 0;
}

int Lee_GeoTIFF(const char* path, TDatosGeoTiffDLL* datos, DString& error) {
  InstallTiffErrorCapture();
  if (datos == nullptr) {
    // Nowhere to put anything: the open is not even tried.
    try {
      error.Asigna(kErrorAbriendoTif);
    } catch (...) {
    }
    return 0;
  }
  Inicializa_DatosGeoTiff(datos);
  const char* message = kErrorAbriendoTif;
  int result = 0;
  try {
    GeoTiffHandles handles;
    result = ReadGeoTiff(path, datos, handles, message);
  } catch (...) {
    // Nothing thrown inside may reach an outside caller.
    result = 0;
    message = kErrorAbriendoTif;
  }
  if (result == 0) {
    try {
      error.Asigna(message);
    } catch (...) {
    }
  }
  return result;
}

#include "files/nombre_fichero.h"

#include <atomic>
#include <cctype>
#include <string>

#include "platform/file_api.h"
#include "platform/process_info.h"

DString Directorio(const TStringNomFitx& nombre) {
  const DString& texto = nombre.Cadena();
  const int p = texto.BuscaUltimo(kSeparadorDirectorio);
  DString resultado;
  if (p < 0) return resultado;
#ifndef _WIN32
  // "/host" lives in "/", not in the current directory.
  if (p == 0) return DString("/");
#endif
  resultado.Asigna(texto.Texto(), p);
  return resultado;
}

const char* NombreArchivo(const DString& nombre) {
  if (nombre.EstaVacio()) return nombre.Texto();
  const int p = Maximo(nombre.BuscaUltimo('\\'), nombre.BuscaUltimo('/'));
  if (p < 0) return nombre.Texto();
  return nombre.Texto() + p + 1;
}

bool TieneUnidad(const DString& nombre) {
  if (nombre.Longitud() < 2) return false;
  return nombre.Caracter(1) == ':' || nombre.Caracter(0) == kSeparadorDirectorio ||
         nombre.Busca(':') >= 0;
}

bool ExisteArchivo(const DString& nombre) {
  using namespace platform;
#ifdef _WIN32
  if (TieneUnidad(nombre)) {
    const int unidad = std::toupper(static_cast<unsigned char>(nombre.Caracter(0)));
    if (unidad != 'C' && unidad != '\\') {
      const DWORD presentes = GetLogicalDrives();
      // Modulo 32 keeps the shift defined for any first character.
      const unsigned bit = static_cast<unsigned>(unidad - 'A') & 31u;
      if ((presentes & (DWORD{1} << bit)) == 0) return false;
    }
  }
#endif
  const DWORD atributos = GetFileAttributesA(nombre.Texto());
  return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void UneRuta(DString& destino, const char* directorio, const char* archivo) {
  // Copies first: either argument may point into destino.
  const DString dir(directorio);
  const DString fichero(archivo);
  destino.Asigna(dir);
  const int l = destino.Longitud();
  if (l > 0 && destino.Caracter(l - 1) != kSeparadorDirectorio) destino.Anade(kSeparadorDirectorio);
  destino.Anade(fichero);
}

namespace {

// The program directory, published once by whichever call finds it first; a
// losing racer discards its copy. Released when the module is unloaded.
struct CacheDirectorioPrograma {
  std::atomic<DString*> directorio{nullptr};
  ~CacheDirectorioPrograma() { delete directorio.exchange(nullptr); }
};

CacheDirectorioPrograma gCacheDirectorio;

const DString* DirectorioDelPrograma() {
  DString* actual = gCacheDirectorio.directorio.load(std::memory_order_acquire);
  if (actual != nullptr) return actual;
  const char* programa = platform::ProgramArgument0();
  if (programa == nullptr) return nullptr;
  DString directorio = Directorio(TStringNomFitx(programa));
  // No directory in the path: look again next time, as the path may be set later.
  if (directorio.EstaVacio()) return nullptr;
  auto* nuevo = new DString(directorio);
  DString* esperado = nullptr;
  if (gCacheDirectorio.directorio.compare_exchange_strong(esperado, nuevo, std::memory_order_acq_rel)) {
    return nuevo;
  }
  delete nuevo;
  return esperado;
}

}  // namespace

bool RutaJuntoAlPrograma(DString& nombre) {
  const DString* directorio = DirectorioDelPrograma();
  const DString archivo(NombreArchivo(nombre));
  UneRuta(nombre, directorio != nullptr ? directorio->Texto() : "", archivo.Texto());
  return true;
}

void OlvidaDirectorioDelPrograma() { delete gCacheDirectorio.directorio.exchange(nullptr); }

TCurrentDir::TCurrentDir() {
  const std::string actual = platform::CurrentDirectory();
  directorio_.Asigna(actual.c_str());
}

// File names: the name-holding class, taking names apart and joining them,
// existence tests, the program's directory and the current directory.
#pragma once

#include "DString.h"

// The directory separator of the platform's paths. NombreArchivo accepts both
// separators everywhere.
#ifdef _WIN32
constexpr char kSeparadorDirectorio = '\\';
#else
constexpr char kSeparadorDirectorio = '/';
#endif

class TStringNomFitx {
 public:
  TStringNomFitx() = default;
  TStringNomFitx(const DString& nombre) : nombre_(nombre) {}  // NOLINT: names pass as strings
  TStringNomFitx(const char* nombre) : nombre_(nombre) {}     // NOLINT
  TStringNomFitx(const TStringNomFitx& otro) : nombre_(otro.nombre_) {}
  TStringNomFitx& operator=(const TStringNomFitx& otro) {
    if (this != &otro) nombre_.Asigna(otro.nombre_);
    return *this;
  }
  ~TStringNomFitx() = default;

  // The name's text; "" when the name is empty.
  const char* Texto() const { return nombre_.Texto(); }
  const DString& Cadena() const { return nombre_; }

 private:
  DString nombre_;
};

// The directory part: the text before the last separator, without it; empty
// when there is none. On POSIX a name directly under the root gives "/".
DString Directorio(const TStringNomFitx& nombre);

// The file-name part: the text after the last '\\' or '/', the whole name
// without either. Points into `nombre`'s text.
const char* NombreArchivo(const DString& nombre);

// Whether the name starts from a drive or a root.
bool TieneUnidad(const DString& nombre);

// Whether the name denotes an existing file that is not a directory.
bool ExisteArchivo(const DString& nombre);

// destino = directorio joined to archivo with one separator. Either argument
// may point into destino.
void UneRuta(DString& destino, const char* directorio, const char* archivo);

// Replaces the directory of `nombre` by the directory of the running program
// (the one its argument vector names); the bare file name when that path has
// no directory. Always true.
bool RutaJuntoAlPrograma(DString& nombre);

// Test seam: forgets the cached program directory, so the next
// RutaJuntoAlPrograma looks at the argument vector again. Not for concurrent use.
void OlvidaDirectorioDelPrograma();

// The current drive and directory, captured at construction.
class TCurrentDir {
 public:
  TCurrentDir();
  ~TCurrentDir() = default;
  TCurrentDir(const TCurrentDir&) = delete;
  TCurrentDir& operator=(const TCurrentDir&) = delete;

  const char* Texto() const { return directorio_.Texto(); }

 private:
  DString directorio_;
};

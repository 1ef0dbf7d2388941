#include "files/fichero_itv.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <typeinfo>

#include "platform/file_api.h"

using namespace platform;

namespace {

constexpr std::int32_t kAccesos = FITV_LECTURA | FITV_ESCRITURA | FITV_ANADIR;
constexpr std::int32_t kTamanoVentana = 65536;
constexpr std::int32_t kBloqueDefecto = 32000;
constexpr std::int32_t kMaximoRegistro = 19999;
constexpr char kSufijoTemporal[] = ".$$$";

bool Valido(void* h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

std::int64_t Combina(DWORD bajo, LONG alto) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(alto)) << 32) | bajo);
}

std::int32_t Bajo32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) & 0xFFFFFFFFu));
}

bool EsBlanco(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool TerminaRegistro(char c) {
  return c == '\n' || c == ';' || c == '\0' || c == '\r' || c == static_cast<char>(0xFF);
}

}  // namespace

TFicheroITV::TFicheroITV() : separadores_(" \t\n") {}

TFicheroITV::~TFicheroITV() { Cierra(); }

bool TFicheroITV::EstaAbierto() const {
  if (Valido(handle_)) return true;
  return stream_ != nullptr;
}

bool TFicheroITV::Abre(const DString& nombre, std::int32_t modo) {
  TStringNomFitx trabajo(nombre);
  if (EstaAbierto()) return false;

  const char* base;
  DWORD acceso;
  DWORD creacion;
  switch (modo & kAccesos) {
    case FITV_LECTURA: base = "r"; acceso = GENERIC_READ; creacion = OPEN_EXISTING; break;
    case FITV_ESCRITURA: base = "w"; acceso = GENERIC_WRITE; creacion = CREATE_ALWAYS; break;
    case FITV_ANADIR: base = "a"; acceso = GENERIC_READ | GENERIC_WRITE; creacion = OPEN_ALWAYS; break;
    default: throw "Error en TFicheroITV::Abre";
  }

  modo_ = modo;
  anterior_ = 0;
  limiteFinal_ = 0;
  handle_ = nullptr;
  const bool directo = (modo & (FITV_DIRECTO | FITV_BUFFER)) != 0;

  std::string modoStream(base);
  if (modo & FITV_ACTUALIZA) {
    modoStream += '+';
    acceso = GENERIC_READ | GENERIC_WRITE;
  }
  modoStream += 'b';

  // A later open without FITV_TEMPORAL must not replace an earlier target.
  temporal_ = false;
  nombreDestino_ = TStringNomFitx();
  errorEscritura_ = false;
  if (modo & FITV_TEMPORAL) {
    temporal_ = true;
    nombreDestino_ = trabajo;
    DString temporal(trabajo.Texto());
    temporal.Anade(kSufijoTemporal);
    trabajo = TStringNomFitx(temporal);
  }

  if (directo) {
    const DWORD compartir = (acceso == GENERIC_READ) ? FILE_SHARE_READ : 0;
    handle_ = CreateFileA(trabajo.Texto(), acceso, compartir, nullptr, creacion, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Valido(handle_)) limiteFinal_ = Longitud64();
  } else {
    if ((modo & kAccesos) == FITV_LECTURA && !ExisteArchivo(trabajo.Cadena())) return false;
    stream_ = StreamOpen(trabajo.Texto(), modoStream.c_str());
  }
  if (!EstaAbierto()) return false;

  // Text left over from an earlier file belongs to that file.
  devuelto_.Asigna("");
  posicionDevuelto_ = 0;
  agotado_ = false;
  posicionLogica_ = inicioVentana_ = finVentana_ = limiteVentana_ = 0;
  bytesCargados_ = 0;

  if ((modo & FITV_LECTURA) && (modo & FITV_BUFFER)) ActivaBuffer(true);
  if ((modo & FITV_LECTURA) && (modo & FITV_CABECERA)) LeeEntero(cabecera_);
  lineas_ = 0;
  return true;
}

void TFicheroITV::Cierra() {
  delete[] buffer_;
  buffer_ = nullptr;
  tamanoBuffer_ = 0;
  bool cerrado = false;
  bool correcto = true;
  if (stream_ != nullptr) {
    correcto = std::fclose(stream_) == 0;
    stream_ = nullptr;
    cerrado = true;
  }
  if (Valido(handle_)) {
    correcto = CloseHandle(static_cast<HANDLE>(handle_)) != 0 && correcto;
    cerrado = true;
  }
  handle_ = nullptr;

  // The target is replaced only by a complete file: never after a failed
  // write or close, never by a file that was only read or appended to.
  if (cerrado && temporal_ && (modo_ & kAccesos) == FITV_ESCRITURA && correcto && !errorEscritura_) {
    DString temporal(nombreDestino_.Texto());
    temporal.Anade(kSufijoTemporal);
    RenameReplacing(temporal.Texto(), nombreDestino_.Texto());
  }
}

std::int64_t TFicheroITV::LeeHasta(void* destino, std::int32_t n) {
  if (n <= 0) return 0;
  if (stream_ != nullptr) return static_cast<std::int64_t>(std::fread(destino, 1, static_cast<std::size_t>(n), stream_));
  if (!Valido(handle_)) return 0;
  DWORD leidos = 0;
  ReadFile(static_cast<HANDLE>(handle_), destino, static_cast<DWORD>(n), &leidos, nullptr);
  return leidos;
}

bool TFicheroITV::LeeDirecto(void* destino, std::int32_t n) { return LeeHasta(destino, n) == n; }

bool TFicheroITV::EscribeDirecto(const void* datos, std::int32_t n) {
  if (stream_ != nullptr) return std::fwrite(datos, 1, static_cast<std::size_t>(n), stream_) == static_cast<std::size_t>(n);
  if (!Valido(handle_)) return false;
  HANDLE h = static_cast<HANDLE>(handle_);
  if (buffer_ != nullptr) {
    // The caller's position is the logical one, not where the last reload left the system's.
    MueveArchivo(posicionLogica_);
  } else if (modo_ & FITV_ANADIR) {
    LONG alto = 0;
    SetFilePointer(h, 0, &alto, FILE_END);
  }
  DWORD escritos = 0;
  const bool correcto = WriteFile(h, datos, static_cast<DWORD>(n), &escritos, nullptr) != 0 &&
                        escritos == static_cast<DWORD>(n);
  if (buffer_ != nullptr) {
    // Empty window at the new position: the next read reloads and sees the written bytes.
    posicionLogica_ += escritos;
    limiteVentana_ = std::max(limiteVentana_, posicionLogica_);
    inicioVentana_ = finVentana_ = posicionLogica_;
  }
  return correcto;
}

void TFicheroITV::MueveArchivo(std::int64_t posicion) {
  if (stream_ != nullptr) {
    StreamSeek64(stream_, posicion, SEEK_SET);
  } else if (Valido(handle_)) {
    LONG alto = static_cast<LONG>(static_cast<std::uint64_t>(posicion) >> 32);
    SetFilePointer(static_cast<HANDLE>(handle_), Bajo32(posicion), &alto, FILE_BEGIN);
  }
}

bool TFicheroITV::Lee(void* destino, std::int32_t n, TProgresoES* progreso, std::int32_t bloque) {
  if (n < 0 || (destino == nullptr && n > 0)) return false;
  if (buffer_ != nullptr && destino != buffer_) {
    if (n < tamanoBuffer_) {
      if (posicionLogica_ + n > finVentana_ && !RellenaBuffer(posicionLogica_)) return false;
      // Near the end a reload holds fewer bytes than asked for.
      if (posicionLogica_ < inicioVentana_ || posicionLogica_ + n > finVentana_) return false;
      std::memcpy(destino, buffer_ + (posicionLogica_ - inicioVentana_), static_cast<std::size_t>(n));
      posicionLogica_ += n;
      return true;
    }
    MueveArchivo(posicionLogica_);
    posicionLogica_ += n;
    return LeeDirecto(destino, n);
  }
  if (progreso == nullptr) return LeeDirecto(destino, n);

  if (bloque < 1) bloque = kBloqueDefecto;
  progreso->Hechos = 0;
  progreso->Total = n;
  std::int32_t hechos = 0;
  while (hechos < n) {
    const std::int32_t trozo = std::min(n - hechos, bloque);
    // A short chunk ends the transfer: the rest would be reported as read but never was.
    if (!Lee(static_cast<char*>(destino) + hechos, trozo, nullptr, -1)) return false;
    hechos += trozo;
    progreso->Hechos = hechos;
    if (progreso->Cancelar) return false;
  }
  return true;
}

bool TFicheroITV::Escribe(const void* datos, std::int32_t n, TProgresoES* progreso, std::int32_t bloque) {
  if (n < 0 || (datos == nullptr && n > 0)) {
    errorEscritura_ = true;
    return false;
  }
  if (progreso == nullptr) {
    const bool correcto = EscribeDirecto(datos, n);
    if (!correcto) errorEscritura_ = true;
    return correcto;
  }
  if (bloque < 1) bloque = kBloqueDefecto;
  progreso->Hechos = 0;
  progreso->Total = n;
  std::int32_t hechos = 0;
  while (hechos < n) {
    const std::int32_t trozo = std::min(n - hechos, bloque);
    if (!Escribe(static_cast<const char*>(datos) + hechos, trozo, nullptr, -1)) return false;
    hechos += trozo;
    progreso->Hechos = hechos;
    if (progreso->Cancelar) return false;
  }
  return true;
}

char TFicheroITV::LeeCaracter() {
  if (stream_ != nullptr) {
    const int c = std::fgetc(stream_);
    if (c == EOF) agotado_ = true;
    return static_cast<char>(c);
  }
  unsigned char byte = 0;
  if (!Lee(&byte, 1)) {
    agotado_ = true;
    return 0;
  }
  return static_cast<char>(byte);
}

void TFicheroITV::Posiciona(std::int32_t posicion) {
  if (buffer_ != nullptr) {
    PosicionaEnBuffer(posicion);
  } else if (stream_ != nullptr) {
    StreamSeek64(stream_, posicion, SEEK_SET);
  } else if (Valido(handle_)) {
    SetFilePointer(static_cast<HANDLE>(handle_), posicion, nullptr, FILE_BEGIN);
  }
}

void TFicheroITV::Posiciona64(std::int64_t posicion) {
  if (buffer_ != nullptr) {
    PosicionaEnBuffer(posicion);
  } else {
    MueveArchivo(posicion);
  }
}

std::int32_t TFicheroITV::Posicion() { return Bajo32(Posicion64()); }

std::int64_t TFicheroITV::Posicion64() {
  if (buffer_ != nullptr) return posicionLogica_;
  if (stream_ != nullptr) return StreamTell64(stream_);
  if (!Valido(handle_)) return 0;
  LONG alto = 0;
  const DWORD bajo = SetFilePointer(static_cast<HANDLE>(handle_), 0, &alto, FILE_CURRENT);
  return Combina(bajo, alto);
}

std::int32_t TFicheroITV::Longitud() { return Bajo32(Longitud64()); }

std::int64_t TFicheroITV::Longitud64() {
  if (stream_ != nullptr) {
    const std::int64_t actual = StreamTell64(stream_);
    StreamSeek64(stream_, 0, SEEK_END);
    const std::int64_t longitud = StreamTell64(stream_);
    StreamSeek64(stream_, actual, SEEK_SET);
    return longitud;
  }
  if (!Valido(handle_)) return 0;
  // Measured on the system's position, which the window does not depend on.
  HANDLE h = static_cast<HANDLE>(handle_);
  LONG altoActual = 0;
  const DWORD bajoActual = SetFilePointer(h, 0, &altoActual, FILE_CURRENT);
  LONG altoFinal = 0;
  const DWORD bajoFinal = SetFilePointer(h, 0, &altoFinal, FILE_END);
  SetFilePointer(h, static_cast<LONG>(bajoActual), &altoActual, FILE_BEGIN);
  return Combina(bajoFinal, altoFinal);
}

bool TFicheroITV::FinArchivo() {
  if (stream_ != nullptr) return std::feof(stream_) != 0;
  return Posicion64() >= limiteFinal_;
}

void TFicheroITV::ActivaBuffer(bool activa) {
  if (!activa) {
    delete[] buffer_;
    buffer_ = nullptr;
    tamanoBuffer_ = 0;
    return;
  }
  // The window serves direct-mode files only.
  if (buffer_ != nullptr || !Valido(handle_)) return;
  const std::int64_t actual = Posicion64();
  const std::int64_t longitud = Longitud64();
  // The whole 64-bit size: a 32-bit limit would hide the data past 4 GiB.
  limiteVentana_ = longitud;
  tamanoBuffer_ = static_cast<std::int32_t>(std::min<std::int64_t>(kTamanoVentana, longitud));
  buffer_ = new unsigned char[static_cast<std::size_t>(tamanoBuffer_)];
  posicionLogica_ = inicioVentana_ = finVentana_ = actual;
  RellenaBuffer(actual);
}

bool TFicheroITV::RellenaBuffer(std::int64_t posicion) {
  if (buffer_ == nullptr || posicion < 0) return false;
  MueveArchivo(posicion);
  inicioVentana_ = posicion;
  finVentana_ = std::min(posicion + tamanoBuffer_, limiteVentana_);
  if (finVentana_ - inicioVentana_ < 1) {
    inicioVentana_ = finVentana_ - tamanoBuffer_;
    if (inicioVentana_ <= 0) inicioVentana_ = 0;
    if (finVentana_ - inicioVentana_ < 1) {
      finVentana_ = inicioVentana_;
      return false;
    }
  }
  if (inicioVentana_ != posicion) MueveArchivo(inicioVentana_);
  const std::int64_t leidos = LeeHasta(buffer_, static_cast<std::int32_t>(finVentana_ - inicioVentana_));
  // Only the bytes the system delivered are valid.
  finVentana_ = inicioVentana_ + leidos;
  bytesCargados_ += leidos;
  posicionLogica_ = posicion;
  return true;
}

void TFicheroITV::PosicionaEnBuffer(std::int64_t posicion) {
  if (inicioVentana_ <= posicion && posicion <= finVentana_) {
    posicionLogica_ = posicion;
  } else {
    RellenaBuffer(posicion);
  }
}

// ---------------------------------------------------------------------------
// Text reading.

char TFicheroITV::SiguienteCaracter() {
  agotado_ = false;
  const char* pendiente = devuelto_.Texto();
  if (pendiente[posicionDevuelto_] != '\0') {
    const char c = pendiente[posicionDevuelto_++];
    if (pendiente[posicionDevuelto_] == '\0') {
      devuelto_.Asigna("");
      posicionDevuelto_ = 0;
    }
    return c;
  }
  // The catalogue is scanned a character at a time: for this class's own
  // stream reading, skip the virtual call and the stream's lock per character.
  if (stream_ != nullptr && typeid(*this) == typeid(TFicheroITV)) {
    const int leido = StreamGetcUnlocked(stream_);
    if (leido == EOF) agotado_ = true;
    return static_cast<char>(leido);
  }
  const char c = LeeCaracter();
  // Also for a LeeCaracter of a derived class that does not report the end itself.
  if (stream_ != nullptr && (std::feof(stream_) || std::ferror(stream_))) agotado_ = true;
  return c;
}

std::int32_t TFicheroITV::LeeRegistro(DString& destino, std::int32_t maximo) {
  const std::size_t limite = static_cast<std::size_t>(maximo < 1 ? kMaximoRegistro : maximo - 1);
  auto cuenta = [this](char c) {
    if (c == '\r' || (c == '\n' && anterior_ != '\r')) ++lineas_;
  };
  // "Ended" means that the last character did not come from the data: the
  // system's end-of-file test would drop the final byte of a direct-mode file.
  char c = anterior_;
  std::string texto;
  std::int32_t resultado = lineas_;
  for (;;) {
    do {
      anterior_ = c;
      c = SiguienteCaracter();
      cuenta(c);
    } while (!agotado_ && EsBlanco(c));

    texto.clear();
    while (!agotado_ && !TerminaRegistro(c)) {
      if (texto.size() < limite) texto += c;
      anterior_ = c;
      c = SiguienteCaracter();
    }
    resultado = lineas_;
    cuenta(c);

    if (c == ';') {
      do {
        anterior_ = c;
        c = SiguienteCaracter();
        cuenta(c);
      } while (c != '\n' && c != '\r' && !agotado_);
    }
    if (!texto.empty() || agotado_) break;
  }
  anterior_ = c;

  std::size_t fin = texto.size();
  while (fin > 1 && (texto[fin - 1] == ' ' || texto[fin - 1] == '\t')) --fin;
  texto.resize(fin);
  if (texto == "VOID") texto.clear();
  destino.Asigna(texto.c_str());
  return resultado;
}

void TFicheroITV::get_dato_texto(DString& destino) {
  if ((modo_ & (FITV_TEXTO | FITV_LECTURA)) != (FITV_TEXTO | FITV_LECTURA)) throw "Error en get_dato_texto";
  DString registro;
  LeeRegistro(registro, -1);
  const char terminador = anterior_;
  const bool terminoDatos = agotado_;
  const int inicio = registro.InicioResto(separadores_.Texto());
  destino.Asigna(registro);
  if (inicio < 0) return;
  destino.Asigna(registro.Texto(), inicio);
  // The rest is closed by the character that ended its line, so it is never
  // glued to the next line and its line end is counted once again.
  DString resto(registro.Texto() + inicio);
  if (terminoDatos) {
    DevuelveTexto(resto.Texto());
  } else if (terminador == '\n' || terminador == '\r') {
    resto.Anade(terminador);
    DevuelveTexto(resto.Texto());
    --lineas_;
  } else {
    // A 0x00 cannot be held in the text; 0xFF ends a record just the same.
    resto.Anade(static_cast<char>(0xFF));
    DevuelveTexto(resto.Texto());
  }
}

void TFicheroITV::DevuelveTexto(const char* texto) {
  DString nuevo(texto);
  nuevo.Anade(devuelto_.Texto() + posicionDevuelto_);
  devuelto_.Asigna(nuevo);
  posicionDevuelto_ = 0;
}

TFicheroITV& TFicheroITV::LeeEntero(std::int32_t& valor) {
  if (modo_ & FITV_TEXTO) {
    DString campo;
    get_dato_texto(campo);
    valor = campo.ValorEntero();
  }
  if (modo_ & FITV_BINARIO) {
    // Little-endian on every platform we build for; a short read leaves the value alone.
    std::int32_t leido = 0;
    if (Lee(&leido, static_cast<std::int32_t>(sizeof leido))) valor = leido;
  }
  return *this;
}

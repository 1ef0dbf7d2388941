// TFicheroITV: byte I/O over run-time streams or system handles, an optional
// read window, chunked transfers with progress, and line-record text reading.
#pragma once

#include <cstdint>
#include <cstdio>

#include "DString.h"
#include "files/nombre_fichero.h"

constexpr std::int32_t FITV_LECTURA = 0x0001;
constexpr std::int32_t FITV_ESCRITURA = 0x0002;
constexpr std::int32_t FITV_ANADIR = 0x0004;
constexpr std::int32_t FITV_TEXTO = 0x0008;
constexpr std::int32_t FITV_BINARIO = 0x0010;
constexpr std::int32_t FITV_CABECERA = 0x0040;
constexpr std::int32_t FITV_ACTUALIZA = 0x0080;
constexpr std::int32_t FITV_TEMPORAL = 0x0100;
constexpr std::int32_t FITV_DIRECTO = 0x0400;
constexpr std::int32_t FITV_BUFFER = 0x1000;

// Caller-owned progress record of a chunked transfer. The class writes
// Hechos and Total and reads Cancelar; Usuario is the caller's own.
struct TProgresoES {
  void* Usuario = nullptr;
  std::int32_t Hechos = 0;
  std::int32_t Total = 0;
  bool Cancelar = false;
};

class TFicheroITV {
 public:
  TFicheroITV();
  TFicheroITV(const TFicheroITV&) = delete;
  TFicheroITV& operator=(const TFicheroITV&) = delete;

  // Virtual operations, in this slot order.
  virtual ~TFicheroITV();
  virtual char LeeCaracter();
  virtual void Posiciona(std::int32_t posicion);
  virtual std::int32_t Posicion();
  virtual std::int32_t Longitud();
  virtual bool FinArchivo();
  virtual bool Escribe(const void* datos, std::int32_t n, TProgresoES* progreso = nullptr,
                       std::int32_t bloque = -1);
  virtual bool Lee(void* destino, std::int32_t n, TProgresoES* progreso = nullptr,
                   std::int32_t bloque = -1);

  // Throws "Error en TFicheroITV::Abre" unless exactly one of FITV_LECTURA,
  // FITV_ESCRITURA and FITV_ANADIR is set. False when already open or when
  // the file cannot be opened.
  bool Abre(const DString& nombre, std::int32_t modo);
  // With FITV_ESCRITURA | FITV_TEMPORAL, the temporary file replaces the
  // target name here, unless a write failed.
  void Cierra();
  bool EstaAbierto() const;

  void Posiciona64(std::int64_t posicion);
  std::int64_t Posicion64();
  std::int64_t Longitud64();

  void ActivaBuffer(bool activa);
  bool RellenaBuffer(std::int64_t posicion);
  void PosicionaEnBuffer(std::int64_t posicion);

  // Text reading.
  char SiguienteCaracter();
  // Reads one record into destino; returns the 0-based line on which its text
  // ends. maximo below 1 selects the default limit of 19999 characters.
  std::int32_t LeeRegistro(DString& destino, std::int32_t maximo = -1);
  // Throws "Error en get_dato_texto" unless opened with FITV_TEXTO and FITV_LECTURA.
  void get_dato_texto(DString& destino);
  void DevuelveTexto(const char* texto);
  TFicheroITV& LeeEntero(std::int32_t& valor);

  // Read-only views for callers and tests.
  std::int32_t ValorCabecera() const { return cabecera_; }
  std::int32_t ModoApertura() const { return modo_; }
  std::int32_t Lineas() const { return lineas_; }
  const char* NombreDestino() const { return nombreDestino_.Texto(); }
  bool VentanaActiva() const { return buffer_ != nullptr; }
  std::int32_t TamanoBuffer() const { return tamanoBuffer_; }
  std::int64_t InicioVentana() const { return inicioVentana_; }
  std::int64_t FinVentana() const { return finVentana_; }
  // Bytes the system has delivered into the window since the last open.
  std::int64_t BytesCargadosEnVentana() const { return bytesCargados_; }

 private:
  bool EnModoDirecto() const { return handle_ != nullptr; }
  std::int64_t LeeHasta(void* destino, std::int32_t n);
  bool LeeDirecto(void* destino, std::int32_t n);
  bool EscribeDirecto(const void* datos, std::int32_t n);
  void MueveArchivo(std::int64_t posicion);

  std::int32_t cabecera_ = 0;
  std::int32_t modo_ = 0;
  DString separadores_;
  DString devuelto_;
  std::int32_t lineas_ = 0;
  std::FILE* stream_ = nullptr;
  void* handle_ = nullptr;
  char anterior_ = 0;
  bool temporal_ = false;
  TStringNomFitx nombreDestino_;
  std::int64_t limiteFinal_ = 0;
  unsigned char* buffer_ = nullptr;
  std::int32_t tamanoBuffer_ = 0;
  std::int64_t posicionLogica_ = 0;
  std::int64_t inicioVentana_ = 0;
  std::int64_t finVentana_ = 0;
  std::int64_t limiteVentana_ = 0;

  // Beyond the documented state: where the data really ends for the text
  // reader, whether the temporary file may replace its target, and a count
  // of window loads for callers that measure disk traffic.
  bool agotado_ = false;
  bool errorEscritura_ = false;
  std::int32_t posicionDevuelto_ = 0;
  std::int64_t bytesCargados_ = 0;
};

/* The georeference record that Lee_GeoTIFF fills, shared with outside callers.
 * The record is plain C; Lee_GeoTIFF itself is a typed C++ export. */
#ifndef GEOTIFFDLL_H
#define GEOTIFFDLL_H

#include <stdint.h>

#include "ZeltoPlugIn_TIFF.h"

/* i386 g++ aligns double members to 4 bytes; the record needs them on 8. */
#if defined(__cplusplus)
#define ZELTO_ALIGN8 alignas(8)
#else
#define ZELTO_ALIGN8 _Alignas(8)
#endif

typedef struct TDatosGeoTiffDLL {
  int32_t Reservado;
  int32_t HayTiePoints;
  ZELTO_ALIGN8 double TiePoints[24];
  int32_t HayEscala;
  ZELTO_ALIGN8 double Escala[3];
  int32_t HayMatriz;
  ZELTO_ALIGN8 double Matriz[16];
  int32_t TipoModelo;
  char NombreGCS[100];
  char NombreGeografico[100];
  int32_t CodigoGeografico;
  char NombreDatum[100];
  char NombrePCS[100];
  int32_t CodigoPCS;
  char NombreProyeccion[100];
  char CitaPCS[100];
  int32_t CodigoProyeccion;
  char OtrasClaves[1000];
  int32_t TransfCoord;
  ZELTO_ALIGN8 double Paralelo1;
  ZELTO_ALIGN8 double Paralelo2;
  ZELTO_ALIGN8 double LongOrigen;
  ZELTO_ALIGN8 double LatOrigen;
  ZELTO_ALIGN8 double FalsoEste;
  ZELTO_ALIGN8 double FalsoNorte;
  int32_t Ancho;
  int32_t Alto;
  int32_t NumTiePoints;
  int32_t BitsMuestra;
} TDatosGeoTiffDLL;

/* The same layout in both builds. */
ZELTO_STATIC_ASSERT(sizeof(TDatosGeoTiffDLL) == 2056, "TDatosGeoTiffDLL size");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, Reservado) == 0, "Reservado");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, HayTiePoints) == 4, "HayTiePoints");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, TiePoints) == 8, "TiePoints");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, HayEscala) == 200, "HayEscala");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, Escala) == 208, "Escala");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, HayMatriz) == 232, "HayMatriz");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, Matriz) == 240, "Matriz");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, TipoModelo) == 368, "TipoModelo");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, NombreGCS) == 372, "NombreGCS");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, NombreGeografico) == 472, "NombreGeografico");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, CodigoGeografico) == 572, "CodigoGeografico");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, NombreDatum) == 576, "NombreDatum");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, NombrePCS) == 676, "NombrePCS");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, CodigoPCS) == 776, "CodigoPCS");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, NombreProyeccion) == 780, "NombreProyeccion");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, CitaPCS) == 880, "CitaPCS");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, CodigoProyeccion) == 980, "CodigoProyeccion");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, OtrasClaves) == 984, "OtrasClaves");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, TransfCoord) == 1984, "TransfCoord");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, Paralelo1) == 1992, "Paralelo1");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, Paralelo2) == 2000, "Paralelo2");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, LongOrigen) == 2008, "LongOrigen");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, LatOrigen) == 2016, "LatOrigen");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, FalsoEste) == 2024, "FalsoEste");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, FalsoNorte) == 2032, "FalsoNorte");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, Ancho) == 2040, "Ancho");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, Alto) == 2044, "Alto");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, NumTiePoints) == 2048, "NumTiePoints");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TDatosGeoTiffDLL, BitsMuestra) == 2052, "BitsMuestra");

#ifdef __cplusplus
class DString;

/* Typed export (symbol _Z11Lee_GeoTIFFPKcP16TDatosGeoTiffDLLR7DString).
 * Returns 1 when the file was read (its georeference may be empty), 0 with
 * the message in error otherwise. Keeps no pointer to its arguments. */
ZELTO_EXPORT int Lee_GeoTIFF(const char* path, TDatosGeoTiffDLL* datos, DString& error);
#endif

#endif

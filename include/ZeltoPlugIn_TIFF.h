/* The host's view of the TIFF raster plug-in: records, callbacks, entry points.
 * Plain C where it can be; the two typed exports are C++ only. */
#ifndef ZELTOPLUGIN_TIFF_H
#define ZELTOPLUGIN_TIFF_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#define ZELTO_EXPORT __declspec(dllexport)
#else
#define ZELTO_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The host lays these out byte by byte; BitsPerPixel of TOpenRaster sits at offset 21. */
#pragma pack(push, 1)

typedef struct TTextCallback {
  void (*Send)(struct TTextCallback* self, const char* text);
} TTextCallback;

struct TProgress;
typedef struct TProgressOps {
  void (*SetTotal)(struct TProgress* self, int32_t lines);
  void (*Advance)(struct TProgress* self, int32_t lines);
  void (*Unused2)(struct TProgress* self);
  unsigned char (*IsCancelled)(struct TProgress* self);
} TProgressOps;

typedef struct TProgress {
  const TProgressOps* Ops;
} TProgress;

typedef struct TPaletteEntry {
  uint8_t Blue;
  uint8_t Green;
  uint8_t Red;
  uint8_t Reserved;
} TPaletteEntry;

typedef struct TOpenRaster {
  uint8_t HostOwned0[4];
  void* Reader;
  uint32_t Width;
  int32_t Height;
  uint8_t Opened;
  uint8_t HostOwned17[4];
  int32_t BitsPerPixel;
} TOpenRaster;

typedef struct TZoneBitmap {
  uint8_t HostOwned0[8];
  void (*Allocate)(struct TZoneBitmap* self);
  int32_t Width;
  int32_t Height;
  int32_t BitsPerPixel;
  int32_t PaletteCount;
  TPaletteEntry* Palette;
  void* Bits;
} TZoneBitmap;

typedef struct TSaveRaster {
  uint8_t HostOwned0[8];
  int32_t Width;
  int32_t Height;
  int32_t BitsPerPixel;
  int32_t PaletteCount;
  const uint32_t* Palette;
  int32_t Word28;
  int32_t Word32;
  int32_t LineBitsPerPixel;
  int32_t Word40;
  int32_t GeoEmbedded;
  uint8_t HostOwned48[4];
  const char* Calibration;
  void* Writer;
} TSaveRaster;

typedef struct TSaveLines {
  uint8_t HostOwned0[8];
  int32_t LineCount;
  uint8_t HostOwned12[12];
  void* Bits;
} TSaveLines;

#pragma pack(pop)

#if defined(__cplusplus)
#define ZELTO_STATIC_ASSERT static_assert
#else
#define ZELTO_STATIC_ASSERT _Static_assert
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
/* The host's documented layout. */
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Reader) == 4, "TOpenRaster.Reader");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Width) == 8, "TOpenRaster.Width");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Height) == 12, "TOpenRaster.Height");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Opened) == 16, "TOpenRaster.Opened");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, BitsPerPixel) == 21, "TOpenRaster.BitsPerPixel");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Allocate) == 8, "TZoneBitmap.Allocate");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Width) == 12, "TZoneBitmap.Width");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Height) == 16, "TZoneBitmap.Height");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, BitsPerPixel) == 20, "TZoneBitmap.BitsPerPixel");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, PaletteCount) == 24, "TZoneBitmap.PaletteCount");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Palette) == 28, "TZoneBitmap.Palette");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Bits) == 32, "TZoneBitmap.Bits");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Width) == 8, "TSaveRaster.Width");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Height) == 12, "TSaveRaster.Height");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, BitsPerPixel) == 16, "TSaveRaster.BitsPerPixel");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, PaletteCount) == 20, "TSaveRaster.PaletteCount");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Palette) == 24, "TSaveRaster.Palette");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Word28) == 28, "TSaveRaster.Word28");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Word32) == 32, "TSaveRaster.Word32");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, LineBitsPerPixel) == 36, "TSaveRaster.LineBitsPerPixel");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Word40) == 40, "TSaveRaster.Word40");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, GeoEmbedded) == 44, "TSaveRaster.GeoEmbedded");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Calibration) == 52, "TSaveRaster.Calibration");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Writer) == 56, "TSaveRaster.Writer");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveLines, LineCount) == 8, "TSaveLines.LineCount");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveLines, Bits) == 24, "TSaveLines.Bits");
ZELTO_STATIC_ASSERT(sizeof(TProgressOps) == 16, "TProgress table of four slots");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
/* Same field order, 8-byte pointers. */
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Reader) == 4, "TOpenRaster.Reader");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Width) == 12, "TOpenRaster.Width");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Height) == 16, "TOpenRaster.Height");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, Opened) == 20, "TOpenRaster.Opened");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TOpenRaster, BitsPerPixel) == 25, "TOpenRaster.BitsPerPixel");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Allocate) == 8, "TZoneBitmap.Allocate");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Width) == 16, "TZoneBitmap.Width");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, PaletteCount) == 28, "TZoneBitmap.PaletteCount");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Palette) == 32, "TZoneBitmap.Palette");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TZoneBitmap, Bits) == 40, "TZoneBitmap.Bits");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Palette) == 24, "TSaveRaster.Palette");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Word28) == 32, "TSaveRaster.Word28");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, LineBitsPerPixel) == 40, "TSaveRaster.LineBitsPerPixel");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, GeoEmbedded) == 48, "TSaveRaster.GeoEmbedded");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Calibration) == 56, "TSaveRaster.Calibration");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveRaster, Writer) == 64, "TSaveRaster.Writer");
ZELTO_STATIC_ASSERT(__builtin_offsetof(TSaveLines, Bits) == 24, "TSaveLines.Bits");
ZELTO_STATIC_ASSERT(sizeof(TProgressOps) == 32, "TProgress table of four slots");
#endif
ZELTO_STATIC_ASSERT(sizeof(TPaletteEntry) == 4, "TPaletteEntry");

/* Every entry point is also exported with a leading underscore. */
ZELTO_EXPORT int32_t ZeltoPlugIn_Version(void);
ZELTO_EXPORT bool ZeltoPlugIn_Init(void);
ZELTO_EXPORT const char* ZeltoPlugIn_VersionStr(void);
ZELTO_EXPORT const char* ZeltoPlugIn_GetTipoArchivos(void);

ZELTO_EXPORT bool ZeltoPlugIn_Abre_Raster(const char* path, TOpenRaster* raster, TTextCallback* errors);
ZELTO_EXPORT int32_t ZeltoPlugIn_Abre_Zona(TOpenRaster* raster, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                                           const int32_t* zoneWidth, const int32_t* zoneHeight,
                                           TZoneBitmap* bitmap, TTextCallback* errors, TProgress* progress);
ZELTO_EXPORT void ZeltoPlugIn_Cierra_Raster(TOpenRaster* raster);

ZELTO_EXPORT bool ZeltoPlugIn_Save_Raster_Create(const char* path, TSaveRaster* save, TTextCallback* errors);
ZELTO_EXPORT bool ZeltoPlugIn_Save_Raster_AddLines(TSaveRaster* save, TSaveLines* lines, TProgress* progress,
                                                   TTextCallback* errors);
ZELTO_EXPORT bool ZeltoPlugIn_Save_Raster_Close(TSaveRaster* save);

ZELTO_EXPORT bool ZeltoPlugIn_Lee_Calibracion(const char* path, TTextCallback* output, TTextCallback* errors);

#ifdef __cplusplus
}

/* Typed export (symbol _Z14Get_TIFF_Errorv): the last libtiff error text, never freed by the host. */
ZELTO_EXPORT char* Get_TIFF_Error();
#endif

#endif

/* Loads the plug-in by path, opens a TIFF, reads it whole into a host bitmap. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#include "ZeltoPlugIn_TIFF.h"

static void Print(TTextCallback* self, const char* text) { (void)self; fprintf(stderr, "plug-in: %s\n", text); }

static void Allocate(TZoneBitmap* b) {  /* rows padded to 4 bytes, |Height| of them */
  size_t stride = ((size_t)b->Width * b->BitsPerPixel + 31) / 32 * 4;
  b->Bits = calloc(stride, (size_t)(b->Height < 0 ? -b->Height : b->Height));
}

static void SetTotal(TProgress* p, int32_t lines) { (void)p; (void)lines; }
static void Advance(TProgress* p, int32_t lines) { (void)p; (void)lines; }
static void Unused(TProgress* p) { (void)p; }
static unsigned char IsCancelled(TProgress* p) { (void)p; return 0; }

int main(int argc, char** argv) {
  if (argc != 3) { fprintf(stderr, "usage: %s ZeltoPlugIn_TIFF.so FILE.tif\n", argv[0]); return 2; }
  void* module = dlopen(argv[1], RTLD_NOW);
  if (!module) { fprintf(stderr, "%s\n", dlerror()); return 1; }
  /* Hosts resolve the entry points under their underscore names. */
  __typeof__(ZeltoPlugIn_Abre_Raster)* open = (__typeof__(ZeltoPlugIn_Abre_Raster)*)dlsym(module, "_ZeltoPlugIn_Abre_Raster");
  __typeof__(ZeltoPlugIn_Abre_Zona)* zone = (__typeof__(ZeltoPlugIn_Abre_Zona)*)dlsym(module, "_ZeltoPlugIn_Abre_Zona");
  __typeof__(ZeltoPlugIn_Cierra_Raster)* close = (__typeof__(ZeltoPlugIn_Cierra_Raster)*)dlsym(module, "_ZeltoPlugIn_Cierra_Raster");
  if (!open || !zone || !close) { fprintf(stderr, "missing entry point\n"); return 1; }

  TTextCallback errors = {Print};
  static const TProgressOps ops = {SetTotal, Advance, Unused, IsCancelled};
  TProgress progress = {&ops};
  TOpenRaster raster = {0};
  if (!open(argv[2], &raster, &errors)) return 1;
  int32_t w = (int32_t)raster.Width, h = -raster.Height;  /* Height comes negative: rows top-down */
  printf("%d x %d, %d bits per pixel\n", w, h, raster.BitsPerPixel);

  TZoneBitmap bitmap = {{0}, Allocate, 0, 0, 0, 0, NULL, NULL};
  int32_t ok = zone(&raster, 0, w, 0, h, &w, &h, &bitmap, &errors, &progress);  /* whole image, row for row */
  if (ok && bitmap.BitsPerPixel >= 24) {
    const unsigned char* p = (const unsigned char*)bitmap.Bits;  /* blue, green, red */
    printf("top-left pixel: red %d, green %d, blue %d\n", p[2], p[1], p[0]);
  }
  free(bitmap.Bits);
  close(&raster);
  dlclose(module);
  return ok ? 0 : 1;
}

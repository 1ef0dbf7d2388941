// Plays the host: loads the built module with dlopen, resolves the entry
// points by their underscore names, and supplies Allocate, TProgress and Send.
#ifndef ZELTO_TEST_PLUGIN_HOST_H
#define ZELTO_TEST_PLUGIN_HOST_H

#include <cstdint>
#include <string>
#include <vector>

#include "ZeltoPlugIn_TIFF.h"

namespace host {

class Plugin {
 public:
  // The one loaded module of the test process (dlopen keeps a count).
  static const Plugin& Get();
  void* Symbol(const char* name) const;  // nullptr when absent
  template <class F>
  F* Typed(const char* name) const { return reinterpret_cast<F*>(Symbol(name)); }

  decltype(&ZeltoPlugIn_Version) Version;
  decltype(&ZeltoPlugIn_Init) Init;
  decltype(&ZeltoPlugIn_VersionStr) VersionStr;
  decltype(&ZeltoPlugIn_GetTipoArchivos) GetTipoArchivos;
  decltype(&ZeltoPlugIn_Abre_Raster) AbreRaster;
  decltype(&ZeltoPlugIn_Abre_Zona) AbreZona;
  decltype(&ZeltoPlugIn_Cierra_Raster) CierraRaster;
  decltype(&ZeltoPlugIn_Save_Raster_Create) SaveCreate;
  decltype(&ZeltoPlugIn_Save_Raster_AddLines) SaveAddLines;
  decltype(&ZeltoPlugIn_Save_Raster_Close) SaveClose;
  decltype(&ZeltoPlugIn_Lee_Calibracion) LeeCalibracion;
  char* (*GetTiffError)();

 private:
  Plugin();
  void* handle_;
};

// A Send that records every text it receives.
struct Messages : TTextCallback {
  Messages();
  std::vector<std::string> texts;
};

// SetTotal/Advance recorder; answers "cancelled" once Advance has been
// called cancelAfter times (never when negative).
struct Progress : TProgress {
  Progress();
  int32_t total = -1;
  int setTotalCalls = 0;
  int advanced = 0;
  int cancelAfter = -1;
};

// A bitmap whose Allocate gives RowBytes(Width, BitsPerPixel) * |Height|
// bytes filled with fillByte, or leaves Bits null when failAllocate is set.
struct Bitmap : TZoneBitmap {
  Bitmap();
  std::vector<uint8_t> storage;
  bool failAllocate = false;
  int allocateCalls = 0;
  uint8_t fillByte = 0xCD;
  uint64_t Stride() const;
  const uint8_t* Row(int y) const { return storage.data() + Stride() * uint64_t(y); }
};

// An open raster record with the host-owned bytes set to a marker, so tests
// can check that the module leaves them alone.
struct Raster : TOpenRaster {
  Raster();
};

}  // namespace host

#endif

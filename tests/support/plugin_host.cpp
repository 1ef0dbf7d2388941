#include "plugin_host.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace host {

Plugin::Plugin() {
  handle_ = dlopen(ZELTO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  Version = Typed<int32_t()>("_ZeltoPlugIn_Version");
  Init = Typed<bool()>("_ZeltoPlugIn_Init");
  VersionStr = Typed<const char*()>("_ZeltoPlugIn_VersionStr");
  GetTipoArchivos = Typed<const char*()>("_ZeltoPlugIn_GetTipoArchivos");
  AbreRaster = reinterpret_cast<decltype(AbreRaster)>(Symbol("_ZeltoPlugIn_Abre_Raster"));
  AbreZona = reinterpret_cast<decltype(AbreZona)>(Symbol("_ZeltoPlugIn_Abre_Zona"));
  CierraRaster = reinterpret_cast<decltype(CierraRaster)>(Symbol("_ZeltoPlugIn_Cierra_Raster"));
  SaveCreate = reinterpret_cast<decltype(SaveCreate)>(Symbol("_ZeltoPlugIn_Save_Raster_Create"));
  SaveAddLines = reinterpret_cast<decltype(SaveAddLines)>(Symbol("_ZeltoPlugIn_Save_Raster_AddLines"));
  SaveClose = reinterpret_cast<decltype(SaveClose)>(Symbol("_ZeltoPlugIn_Save_Raster_Close"));
  LeeCalibracion = reinterpret_cast<decltype(LeeCalibracion)>(Symbol("_ZeltoPlugIn_Lee_Calibracion"));
  GetTiffError = Typed<char*()>("_Z14Get_TIFF_Errorv");
}

const Plugin& Plugin::Get() {
  static const Plugin plugin;
  return plugin;
}

void* Plugin::Symbol(const char* name) const { return dlsym(handle_, name); }

namespace {

void RecordSend(TTextCallback* self, const char* text) {
  static_cast<Messages*>(self)->texts.emplace_back(text != nullptr ? text : "(null)");
}

void SetTotal(TProgress* self, int32_t lines) {
  auto* p = static_cast<Progress*>(self);
  p->total = lines;
  ++p->setTotalCalls;
}

void Advance(TProgress* self, int32_t lines) { static_cast<Progress*>(self)->advanced += lines; }

void Unused2(TProgress*) { std::abort(); }  // slot 2 is never called

unsigned char IsCancelled(TProgress* self) {
  auto* p = static_cast<Progress*>(self);
  return p->cancelAfter >= 0 && p->advanced >= p->cancelAfter;
}

const TProgressOps kProgressOps = {SetTotal, Advance, Unused2, IsCancelled};

void AllocateBits(TZoneBitmap* self) {
  auto* b = static_cast<Bitmap*>(self);
  ++b->allocateCalls;
  if (b->failAllocate) return;
  const uint64_t rows = uint64_t(b->Height < 0 ? -int64_t(b->Height) : b->Height);
  b->storage.assign(b->Stride() * rows, b->fillByte);
  b->Bits = b->storage.empty() ? nullptr : b->storage.data();
}

}  // namespace

Messages::Messages() : TTextCallback{RecordSend} {}

Progress::Progress() : TProgress{&kProgressOps} {}

Bitmap::Bitmap() : TZoneBitmap{} {
  std::memset(HostOwned0, 0x5A, sizeof HostOwned0);
  Allocate = AllocateBits;
  Palette = nullptr;
  Bits = nullptr;
}

uint64_t Bitmap::Stride() const {
  return ((uint64_t(uint32_t(Width)) * uint64_t(uint32_t(BitsPerPixel)) + 31) / 32) * 4;
}

Raster::Raster() : TOpenRaster{} {
  std::memset(HostOwned0, 0x5A, sizeof HostOwned0);
  std::memset(HostOwned17, 0xA5, sizeof HostOwned17);
}

}  // namespace host

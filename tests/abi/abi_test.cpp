// Plays the host with raw bytes: records are filled and read at the byte
// offsets the host uses, so a header mistake cannot hide behind itself.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin_host.h"
#include "tiff_fixture.h"

namespace {

constexpr bool kPtr32 = sizeof(void*) == 4;

// Offsets of the host's layout: documented on 32 bits, the same order with
// 8-byte pointers on 64 bits.
struct OpenRasterOffsets {
  size_t reader = 4, width = kPtr32 ? 8 : 12, height = kPtr32 ? 12 : 16, opened = kPtr32 ? 16 : 20,
         bits = kPtr32 ? 21 : 25;
};
struct ZoneOffsets {
  size_t allocate = 8, width = kPtr32 ? 12 : 16, height = kPtr32 ? 16 : 20, bits = kPtr32 ? 20 : 24,
         paletteCount = kPtr32 ? 24 : 28, palette = kPtr32 ? 28 : 32, pixels = kPtr32 ? 32 : 40;
};

template <class T>
T Get(const uint8_t* base, size_t offset) {
  T v;
  std::memcpy(&v, base + offset, sizeof v);
  return v;
}
template <class T>
void Put(uint8_t* base, size_t offset, T v) {
  std::memcpy(base + offset, &v, sizeof v);
}

uint8_t gZone[64];
std::vector<uint8_t> gPixels;

void RawAllocate(TZoneBitmap* self) {
  uint8_t* b = reinterpret_cast<uint8_t*>(self);
  const ZoneOffsets z;
  const int32_t w = Get<int32_t>(b, z.width), h = -Get<int32_t>(b, z.height), d = Get<int32_t>(b, z.bits);
  gPixels.assign(size_t((w * d + 31) / 32 * 4) * h, 0);
  Put<void*>(b, z.pixels, gPixels.data());
}

}  // namespace

// First in this process: nothing has failed yet.
TEST(Abi, LastErrorTextIsEmptyBeforeAnyError) {
  const auto& p = host::Plugin::Get();
  ASSERT_NE(p.GetTiffError, nullptr);
  EXPECT_STREQ(p.GetTiffError(), "");
  EXPECT_EQ(p.GetTiffError(), p.GetTiffError());  // one buffer for the module's life
}

TEST(Abi, EveryEntryPointUnderBothNames) {
  const auto& p = host::Plugin::Get();
  for (const char* name : {"ZeltoPlugIn_Version", "ZeltoPlugIn_Init", "ZeltoPlugIn_VersionStr",
                           "ZeltoPlugIn_GetTipoArchivos", "ZeltoPlugIn_Abre_Raster", "ZeltoPlugIn_Abre_Zona",
                           "ZeltoPlugIn_Cierra_Raster", "ZeltoPlugIn_Save_Raster_Create",
                           "ZeltoPlugIn_Save_Raster_AddLines", "ZeltoPlugIn_Save_Raster_Close",
                           "ZeltoPlugIn_Lee_Calibracion"}) {
    SCOPED_TRACE(name);
    void* plain = p.Symbol(name);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(p.Symbol((std::string("_") + name).c_str()), plain);
  }
  EXPECT_NE(p.Symbol("_Z14Get_TIFF_Errorv"), nullptr);
  // Internals stay hidden.
  EXPECT_EQ(p.Symbol("_Z16TiffErrorCapturePKcS0_P13__va_list_tag"), nullptr);
  EXPECT_EQ(p.Symbol("_Z11ReadPaletteP4tiffP13TPaletteEntryPii"), nullptr);
}

TEST(Abi, InformationEntryPoints) {
  const auto& p = host::Plugin::Get();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(p.Version(), 4);
    EXPECT_TRUE(p.Init());
  }
  EXPECT_STREQ(p.VersionStr(), "Zeltomap TIF plug-in, version 1.02");
  EXPECT_STREQ(p.GetTipoArchivos(), "1001|TIF Images|TIF|2|geo TIF maps|TIF|");
}

TEST(Abi, RawRecordsAtTheHostsOffsets) {
  fixture::TempDir dir;
  fixture::TiffParams params;
  params.width = 6;
  params.height = 3;
  params.samplesPerPixel = 3;
  params.photometric = PHOTOMETRIC_RGB;
  const auto pixels = fixture::PatternPixels(params);
  const std::string path = dir.Path("rgb.tif");
  ASSERT_TRUE(fixture::WriteTiff(path, params, pixels));
  const auto& p = host::Plugin::Get();

  uint8_t raster[40];
  std::memset(raster, 0xEE, sizeof raster);
  const OpenRasterOffsets o;
  host::Messages errors;
  ASSERT_TRUE(p.AbreRaster(path.c_str(), reinterpret_cast<TOpenRaster*>(raster), &errors));
  EXPECT_EQ(Get<uint32_t>(raster, o.width), 6u);
  EXPECT_EQ(Get<int32_t>(raster, o.height), -3);
  EXPECT_EQ(raster[o.opened], 1);
  EXPECT_EQ(Get<int32_t>(raster, o.bits), 24);
  EXPECT_NE(Get<void*>(raster, o.reader), nullptr);
  for (size_t i : {size_t(0), size_t(3), o.opened + 1, o.bits - 1, o.bits + 4, sizeof raster - 1})
    EXPECT_EQ(raster[i], 0xEE) << "byte " << i;

  const ZoneOffsets z;
  std::memset(gZone, 0xEE, sizeof gZone);
  Put<void (*)(TZoneBitmap*)>(gZone, z.allocate, RawAllocate);
  Put<void*>(gZone, z.pixels, nullptr);
  host::Progress progress;
  const int32_t w = 6, h = 2;
  ASSERT_EQ(p.AbreZona(reinterpret_cast<TOpenRaster*>(raster), 0, 6, 1, 3, &w, &h,
                       reinterpret_cast<TZoneBitmap*>(gZone), &errors, &progress),
            1);
  EXPECT_EQ(Get<int32_t>(gZone, z.width), 6);
  EXPECT_EQ(Get<int32_t>(gZone, z.height), -2);
  EXPECT_EQ(Get<int32_t>(gZone, z.bits), 24);
  EXPECT_EQ(gZone[0], 0xEE);
  EXPECT_EQ(gZone[7], 0xEE);
  // Blue, green, red of file row 1, pixel 0, in a 20-byte row.
  ASSERT_EQ(gPixels.size(), 40u);
  EXPECT_EQ(gPixels[0], pixels[18 + 2]);
  EXPECT_EQ(gPixels[2], pixels[18 + 0]);
  EXPECT_EQ(gPixels[20], pixels[36 + 2]);

  p.CierraRaster(reinterpret_cast<TOpenRaster*>(raster));
  EXPECT_EQ(Get<void*>(raster, o.reader), nullptr);
  EXPECT_EQ(Get<uint32_t>(raster, o.width), 6u);  // close leaves the rest
  EXPECT_EQ(raster[o.opened], 1);
  p.CierraRaster(reinterpret_cast<TOpenRaster*>(raster));  // closing twice does nothing
}

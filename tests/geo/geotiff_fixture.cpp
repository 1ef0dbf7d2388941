#include "geotiff_fixture.h"

#include <geotiffio.h>
#include <xtiffio.h>

namespace geofixture {

namespace {

void Silent(GTIF*, int, const char*, ...) {}

bool WriteKeys(TIFF* tif, const GeoParams& params) {
  if (!params.rawDirectory.empty()) {
    if (!TIFFSetField(tif, TIFFTAG_GEOKEYDIRECTORY, static_cast<int>(params.rawDirectory.size()),
                      params.rawDirectory.data()))
      return false;
    if (!params.rawDoubles.empty() &&
        !TIFFSetField(tif, TIFFTAG_GEODOUBLEPARAMS, static_cast<int>(params.rawDoubles.size()),
                      params.rawDoubles.data()))
      return false;
    if (!params.rawAscii.empty() && !TIFFSetField(tif, TIFFTAG_GEOASCIIPARAMS, params.rawAscii.c_str()))
      return false;
    return true;
  }
  if (params.keys.empty()) return true;
  GTIF* gt = GTIFNewEx(tif, Silent, nullptr);
  if (gt == nullptr) return false;
  bool ok = true;
  for (const Key& k : params.keys) {
    const geokey_t id = static_cast<geokey_t>(k.id);
    switch (k.type) {
      case Key::kShort: ok = ok && GTIFKeySet(gt, id, TYPE_SHORT, 1, k.shortValue); break;
      case Key::kDouble: ok = ok && GTIFKeySet(gt, id, TYPE_DOUBLE, 1, k.doubleValue); break;
      case Key::kAscii: ok = ok && GTIFKeySet(gt, id, TYPE_ASCII, 0, k.text.c_str()); break;
    }
  }
  ok = ok && GTIFWriteKeys(gt);
  GTIFFree(gt);
  return ok;
}

}  // namespace

bool WriteGeoTiff(const std::string& path, const GeoParams& params) {
  TIFF* tif = XTIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, params.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, params.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, params.bitsPerSample);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, params.height);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  bool ok = true;
  if (!params.tiepoints.empty())
    ok = ok && TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, static_cast<int>(params.tiepoints.size()),
                            params.tiepoints.data());
  if (!params.pixelScale.empty())
    ok = ok && TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, static_cast<int>(params.pixelScale.size()),
                            params.pixelScale.data());
  if (!params.matrix.empty())
    ok = ok && TIFFSetField(tif, TIFFTAG_GEOTRANSMATRIX, static_cast<int>(params.matrix.size()),
                            params.matrix.data());
  ok = ok && WriteKeys(tif, params);
  const tmsize_t rowBytes = (tmsize_t(params.width) * params.bitsPerSample + 7) / 8;
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
  for (uint32_t y = 0; ok && y < params.height; ++y) ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
  XTIFFClose(tif);
  return ok;
}

GeoParams OneTiePoint(uint32_t width, uint32_t height, double x, double y, double scale,
                    std::vector<Key> keys) {
  GeoParams s;
  s.width = width;
  s.height = height;
  s.bitsPerSample = width * height > 100000 ? 1 : 8;
  s.tiepoints = {0, 0, 0, x, y, 0};
  s.pixelScale = {scale, scale, 0};
  s.keys = std::move(keys);
  return s;
}

}  // namespace geofixture

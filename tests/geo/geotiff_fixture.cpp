#include "geotiff_fixture.h"

#include <geotiffio.h>
#include <xtiffio.h>

namespace geofixture {

namespace {

void Silent(GTIF*, int, const char*, ...) {}

bool WriteKeys(TIFF* tif, const GeoSpec& spec) {
  if (!spec.rawDirectory.empty()) {
    if (!TIFFSetField(tif, TIFFTAG_GEOKEYDIRECTORY, static_cast<int>(spec.rawDirectory.size()),
                      spec.rawDirectory.data()))
      return false;
    if (!spec.rawDoubles.empty() &&
        !TIFFSetField(tif, TIFFTAG_GEODOUBLEPARAMS, static_cast<int>(spec.rawDoubles.size()),
                      spec.rawDoubles.data()))
      return false;
    if (!spec.rawAscii.empty() && !TIFFSetField(tif, TIFFTAG_GEOASCIIPARAMS, spec.rawAscii.c_str()))
      return false;
    return true;
  }
  if (spec.keys.empty()) return true;
  GTIF* gt = GTIFNewEx(tif, Silent, nullptr);
  if (gt == nullptr) return false;
  bool ok = true;
  for (const Key& k : spec.keys) {
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

bool WriteGeoTiff(const std::string& path, const GeoSpec& spec) {
  TIFF* tif = XTIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, spec.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, spec.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.bitsPerSample);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.height);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  bool ok = true;
  if (!spec.tiepoints.empty())
    ok = ok && TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, static_cast<int>(spec.tiepoints.size()),
                            spec.tiepoints.data());
  if (!spec.pixelScale.empty())
    ok = ok && TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, static_cast<int>(spec.pixelScale.size()),
                            spec.pixelScale.data());
  if (!spec.matrix.empty())
    ok = ok && TIFFSetField(tif, TIFFTAG_GEOTRANSMATRIX, static_cast<int>(spec.matrix.size()),
                            spec.matrix.data());
  ok = ok && WriteKeys(tif, spec);
  const tmsize_t rowBytes = (tmsize_t(spec.width) * spec.bitsPerSample + 7) / 8;
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
  for (uint32_t y = 0; ok && y < spec.height; ++y) ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
  XTIFFClose(tif);
  return ok;
}

GeoSpec OneTiePoint(uint32_t width, uint32_t height, double x, double y, double scale,
                    std::vector<Key> keys) {
  GeoSpec s;
  s.width = width;
  s.height = height;
  s.bitsPerSample = width * height > 100000 ? 1 : 8;
  s.tiepoints = {0, 0, 0, x, y, 0};
  s.pixelScale = {scale, scale, 0};
  s.keys = std::move(keys);
  return s;
}

}  // namespace geofixture

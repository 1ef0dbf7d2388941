#include "geotiff_fixture.h"

#include <geotiffio.h>
#include <xtiffio.h>

namespace geofixture {

bool WriteGeoTiff(const std::string& path, const GeoParams& params) {
  TIFF* tif = XTIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, params.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, params.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, params.height);
  if (!params.tiepoints.empty()) TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, int(params.tiepoints.size()), params.tiepoints.data());
  if (!params.scale.empty()) TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, int(params.scale.size()), params.scale.data());
  GTIF* gt = GTIFNew(tif);
  if (gt == nullptr) {
    XTIFFClose(tif);
    return false;
  }
  GTIFKeySet(gt, GTModelTypeGeoKey, TYPE_SHORT, 1, params.modelType);
  GTIFKeySet(gt, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
  if (params.geographicCode != 0) GTIFKeySet(gt, GeographicTypeGeoKey, TYPE_SHORT, 1, params.geographicCode);
  if (params.projectedCode != 0) GTIFKeySet(gt, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, params.projectedCode);
  bool ok = GTIFWriteKeys(gt) != 0;
  GTIFFree(gt);
  std::vector<uint8_t> row(params.width);
  for (uint32_t y = 0; ok && y < params.height; ++y) {
    for (uint32_t x = 0; x < params.width; ++x) row[x] = uint8_t(x * 5 + y * 3);
    ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
  }
  XTIFFClose(tif);
  return ok;
}

}  // namespace geofixture

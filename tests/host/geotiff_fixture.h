// Small GeoTIFFs written with libtiff and libgeotiff for the calibration runs.
#ifndef ZELTO_TEST_GEOTIFF_FIXTURE_H
#define ZELTO_TEST_GEOTIFF_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

namespace geofixture {

struct GeoParams {
  uint32_t width = 40;
  uint32_t height = 30;
  int modelType = 1;        // 1 projected, 2 geographic
  int projectedCode = 0;    // ProjectedCSTypeGeoKey, 0: absent
  int geographicCode = 0;   // GeographicTypeGeoKey, 0: absent
  std::vector<double> tiepoints = {0, 0, 0, 430000, 4600000, 0};
  std::vector<double> scale = {2, 2, 0};
};

bool WriteGeoTiff(const std::string& path, const GeoParams& params);

}  // namespace geofixture

#endif

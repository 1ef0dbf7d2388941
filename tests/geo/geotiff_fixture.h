// Small GeoTIFF files for the georeferencing tests, written with libtiff and
// libgeotiff (or with a raw key directory when order or bad entries matter).
#ifndef ZELTO_TEST_GEOTIFF_FIXTURE_H
#define ZELTO_TEST_GEOTIFF_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

namespace geofixture {

struct Key {
  enum Type { kShort, kDouble, kAscii } type;
  int id;
  int shortValue = 0;
  double doubleValue = 0.0;
  std::string text;
};
inline Key Short(int id, int v) { return Key{Key::kShort, id, v, 0.0, {}}; }
inline Key Double(int id, double v) { return Key{Key::kDouble, id, 0, v, {}}; }
inline Key Ascii(int id, std::string t) { return Key{Key::kAscii, id, 0, 0.0, std::move(t)}; }

struct GeoParams {
  uint32_t width = 4;
  uint32_t height = 3;
  uint16_t bitsPerSample = 8;
  std::vector<double> tiepoints;   // written when not empty
  std::vector<double> pixelScale;
  std::vector<double> matrix;
  std::vector<Key> keys;           // through GTIFKeySet (GTIFWriteKeys sorts them by id)
  // When rawDirectory is not empty it is written as GeoKeyDirectoryTag as it
  // stands, with the two params tags below, and keys is ignored.
  std::vector<uint16_t> rawDirectory;
  std::vector<double> rawDoubles;
  std::string rawAscii;
};

// Writes the file; false when libtiff or libgeotiff refuses.
bool WriteGeoTiff(const std::string& path, const GeoParams& params);

// The usual projected fixture: one tiepoint (0,0,0,x,y,0), a pixel scale and
// the given keys.
GeoParams OneTiePoint(uint32_t width, uint32_t height, double x, double y, double scale,
                    std::vector<Key> keys);

}  // namespace geofixture

#endif

// The GeoKey directory read straight from its three tags, in file order.
// libgeotiff visits keys only by id (sorted, duplicates collapsed), so the
// walk is ours; GTIFNew has validated the directory before we get here.
#ifndef ZELTO_GEO_GEOKEY_DIRECTORY_H
#define ZELTO_GEO_GEOKEY_DIRECTORY_H

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

struct RawGeoKey {
  enum Kind { kShort, kDouble, kAscii, kInvalid };
  uint16_t id = 0;
  uint16_t location = 0;
  uint16_t count = 0;
  uint16_t offset = 0;
  Kind kind = kInvalid;
  std::vector<uint16_t> shorts;
  std::vector<double> doubles;
  // GeoAsciiParams from the key's first character to the end of the tag.
  std::string asciiTail;
};

// Every entry of GeoKeyDirectoryTag (34735); entries whose data lies outside
// their tag are kept with kind kInvalid. Empty when the tag is absent.
std::vector<RawGeoKey> ReadGeoKeyDirectory(TIFF* tif);

// Values of a counted tag (uint16 or uint32 count, whichever libtiff uses
// for it); false when the tag is absent.
bool ReadDoubleTag(TIFF* tif, uint32_t tag, std::vector<double>& out);

#endif

// Writes small TIFF fixtures with libtiff, into a temporary directory.
#ifndef ZELTO_TEST_TIFF_FIXTURE_H
#define ZELTO_TEST_TIFF_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

namespace fixture {

// A temporary directory removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_;
};

struct TiffParams {
  uint32_t width = 16;
  uint32_t height = 16;
  uint16_t samplesPerPixel = 1;
  uint16_t bitsPerSample = 8;
  bool writeBitsPerSample = true;     // false leaves the tag out
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t predictor = 0;             // 0: tag not written
  uint32_t rowsPerStrip = 0;          // 0: one strip for the whole image
  uint32_t tileWidth = 0;             // both nonzero: tiled
  uint32_t tileLength = 0;
  uint16_t planar = PLANARCONFIG_CONTIG;
  std::vector<uint16_t> extraSamples; // ExtraSamples values, when any
  std::vector<uint16_t> colormap;     // 3 * 2^bits values: all red, then green, then blue
  int jpegQuality = 90;
  bool jpegYCbCr = false;             // JPEG with YCbCr photometric, RGB fed in
};

// Bytes of one contiguous row as the file packs it.
uint64_t PackedRowBytes(const TiffParams& params);

// Deterministic pseudo-random image of height * PackedRowBytes bytes.
std::vector<uint8_t> PatternPixels(const TiffParams& params, uint32_t seed = 1);

// Writes the image (contiguous rows, PackedRowBytes each) in the layout the
// parameters ask for: strips or tiles, contiguous or separate planes. Returns false
// and fills *why when libtiff refuses.
bool WriteTiff(const std::string& path, const TiffParams& params, const std::vector<uint8_t>& pixels,
               std::string* why = nullptr);

// Writes arbitrary bytes to a file (non-TIFF and truncated inputs).
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// libtiff's own RGBA rendering of the first image, top row first, as
// 0xAABBGGRR words; empty when libtiff cannot render it.
std::vector<uint32_t> ReadRgba(const std::string& path, uint32_t* width, uint32_t* height);

// The shared corpus folder, or empty when this clone has none.
std::string CorpusDir();

}  // namespace fixture

#endif

#include "tiff_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace fixture {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zelto-test-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

uint64_t PackedRowBytes(const TiffParams& params) {
  return (uint64_t(params.width) * params.samplesPerPixel * params.bitsPerSample + 7) / 8;
}

std::vector<uint8_t> PatternPixels(const TiffParams& params, uint32_t seed) {
  std::vector<uint8_t> pixels(PackedRowBytes(params) * params.height);
  uint32_t x = seed * 2654435761u + 12345u;
  for (auto& p : pixels) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    p = static_cast<uint8_t>(x >> 11);
  }
  return pixels;
}

namespace {

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

// Plane s of a contiguous row, for byte-sized samples only.
std::vector<uint8_t> ExtractPlane(const TiffParams& params, const uint8_t* row, uint16_t s) {
  const unsigned bps = params.bitsPerSample / 8;
  std::vector<uint8_t> out(uint64_t(params.width) * bps);
  for (uint32_t x = 0; x < params.width; ++x)
    std::memcpy(&out[uint64_t(x) * bps], row + (uint64_t(x) * params.samplesPerPixel + s) * bps, bps);
  return out;
}

}  // namespace

bool WriteTiff(const std::string& path, const TiffParams& params, const std::vector<uint8_t>& pixels,
               std::string* why) {
  auto fail = [&](const char* what) {
    if (why != nullptr) *why = what;
    return false;
  };
  const uint64_t rowBytes = PackedRowBytes(params);
  if (pixels.size() < rowBytes * params.height) return fail("pixel buffer too small");
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "w"));
  if (!tif) return fail("TIFFOpen");
  TIFF* t = tif.get();
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, params.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, params.height);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, params.samplesPerPixel);
  if (params.writeBitsPerSample) TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, params.bitsPerSample);
  TIFFSetField(t, TIFFTAG_COMPRESSION, params.compression);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, params.photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, params.planar);
  if (params.predictor != 0) TIFFSetField(t, TIFFTAG_PREDICTOR, params.predictor);
  if (!params.extraSamples.empty())
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(params.extraSamples.size()), params.extraSamples.data());
  if (!params.colormap.empty()) {
    const size_t n = params.colormap.size() / 3;
    std::vector<uint16_t> cm = params.colormap;
    TIFFSetField(t, TIFFTAG_COLORMAP, cm.data(), cm.data() + n, cm.data() + 2 * n);
  }
  if (params.compression == COMPRESSION_JPEG) {
    TIFFSetField(t, TIFFTAG_JPEGQUALITY, params.jpegQuality);
    if (params.jpegYCbCr) TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  const bool tiled = params.tileWidth != 0 && params.tileLength != 0;
  const bool separate = params.planar == PLANARCONFIG_SEPARATE && params.samplesPerPixel > 1;
  if (separate && params.bitsPerSample % 8 != 0) return fail("separate planes need byte-sized samples");
  const uint16_t planes = separate ? params.samplesPerPixel : 1;

  if (!tiled) {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, params.rowsPerStrip == 0 ? params.height : params.rowsPerStrip);
    for (uint16_t s = 0; s < planes; ++s) {
      for (uint32_t y = 0; y < params.height; ++y) {
        const uint8_t* row = pixels.data() + rowBytes * y;
        std::vector<uint8_t> line = separate ? ExtractPlane(params, row, s) : std::vector<uint8_t>(row, row + rowBytes);
        if (TIFFWriteScanline(t, line.data(), y, s) < 0) return fail("TIFFWriteScanline");
      }
    }
  } else {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, params.tileWidth);
    TIFFSetField(t, TIFFTAG_TILELENGTH, params.tileLength);
    const uint64_t pixelBits = uint64_t(separate ? 1 : params.samplesPerPixel) * params.bitsPerSample;
    const uint64_t tileRowBytes = (params.tileWidth * pixelBits + 7) / 8;
    std::vector<uint8_t> tile(tileRowBytes * params.tileLength);
    for (uint16_t s = 0; s < planes; ++s) {
      for (uint32_t ty = 0; ty < params.height; ty += params.tileLength) {
        for (uint32_t tx = 0; tx < params.width; tx += params.tileWidth) {
          std::fill(tile.begin(), tile.end(), 0);
          for (uint32_t y = 0; y < params.tileLength && ty + y < params.height; ++y) {
            const uint8_t* row = pixels.data() + rowBytes * (ty + y);
            std::vector<uint8_t> line = separate ? ExtractPlane(params, row, s) : std::vector<uint8_t>(row, row + rowBytes);
            const uint32_t cols = std::min(params.tileWidth, params.width - tx);
            if (pixelBits % 8 == 0) {
              std::memcpy(&tile[tileRowBytes * y], &line[tx * pixelBits / 8], cols * pixelBits / 8);
            } else {
              for (uint64_t b = 0; b < cols * pixelBits; ++b) {
                uint64_t src = tx * pixelBits + b;
                int bit = (line[src / 8] >> (7 - src % 8)) & 1;
                if (bit) tile[tileRowBytes * y + b / 8] |= uint8_t(0x80 >> (b % 8));
              }
            }
          }
          if (TIFFWriteTile(t, tile.data(), tx, ty, 0, s) < 0) return fail("TIFFWriteTile");
        }
      }
    }
  }
  if (!TIFFWriteDirectory(t)) return fail("TIFFWriteDirectory");
  return true;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint32_t> ReadRgba(const std::string& path, uint32_t* width, uint32_t* height) {
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "r"));
  if (!tif) return {};
  uint32_t w = 0, h = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
  if (w == 0 || h == 0 || uint64_t(w) * h > (uint64_t(1) << 28)) return {};
  std::vector<uint32_t> rgba(uint64_t(w) * h);
  if (!TIFFReadRGBAImageOriented(tif.get(), w, h, rgba.data(), ORIENTATION_TOPLEFT, 0)) return {};
  *width = w;
  *height = h;
  return rgba;
}

std::string CorpusDir() {
  std::error_code ec;
  if (std::filesystem::is_directory(ZELTO_CORPUS_DIR, ec)) return ZELTO_CORPUS_DIR;
  return {};
}

}  // namespace fixture

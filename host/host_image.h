// A raster as the host keeps it: DIB conventions (rows padded to 4 bytes, top
// row first, blue-green-red pixels, palette entries 0x00RRGGBB), and the image
// files the command line reads and writes.
#ifndef ZELTO_HOST_HOST_IMAGE_H
#define ZELTO_HOST_HOST_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

namespace zhost {

struct HostImage {
  int32_t width = 0;
  int32_t height = 0;  // rows, positive
  int32_t bitsPerPixel = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB; for depths up to 8
  std::vector<uint8_t> bits;

  uint64_t Stride() const;
  uint8_t* Row(int32_t y) { return bits.data() + Stride() * uint64_t(y); }
  const uint8_t* Row(int32_t y) const { return bits.data() + Stride() * uint64_t(y); }
  void Allocate();  // sizes bits for width, height and depth, zeroed

  uint32_t Index(int32_t x, int32_t y) const;  // palette index, depths up to 8
  uint32_t Colour(int32_t x, int32_t y) const; // 0x00RRGGBB at any supported depth
};

// The same picture at another depth. Colours that do not fit a palette depth
// are reduced (a 3-3-2 palette for 8 bits, grey levels below); *note says so.
HostImage ConvertDepth(const HostImage& source, int32_t depth, std::string* note);

// Throw HostError with the file name and the reason.
HostImage ReadPng(const std::string& path);
HostImage ReadBmp(const std::string& path);
void WritePng(const std::string& path, const HostImage& image);
void WriteBmp(const std::string& path, const HostImage& image);

bool EndsWithNoCase(const std::string& text, const std::string& suffix);

}  // namespace zhost

#endif

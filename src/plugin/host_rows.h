// Row arithmetic shared by the reader and the writer.
#ifndef ZELTO_HOST_ROWS_H
#define ZELTO_HOST_ROWS_H

#include <cstddef>
#include <cstdint>

// Host row stride: the row's bits rounded up to whole 32-bit words. 64-bit so
// that no width and depth a file or host hands us can wrap.
inline uint64_t RowBytes(uint64_t width, uint64_t bitsPerPixel) {
  return ((width * bitsPerPixel + 31) / 32) * 4;
}

// Exchanges the first and third byte of every pixel (RGB <-> BGR).
void SwapRedBlue(uint8_t* row, std::size_t pixelCount, std::size_t bytesPerPixel);

#endif

// From the samples libtiff decodes to the pixels the host bitmap receives.
#ifndef ZELTO_PIXEL_CONVERT_H
#define ZELTO_PIXEL_CONVERT_H

#include <cstddef>
#include <cstdint>

struct PixelConversion {
  enum class Kind {
    kIdentity,   // decoded pixels are the delivered pixels
    kSelect,     // keep the first outSamples samples, most significant byte of each
    kExpandGrey  // 1, 2 or 4-bit grey scaled to 8 bits
  };
  Kind kind = Kind::kIdentity;
  uint32_t depth = 0;          // delivered bits per pixel
  uint32_t srcBits = 0;        // bits per decoded sample
  uint32_t srcSamples = 1;     // samples per decoded pixel
  uint32_t outSamples = 1;     // kSelect
  uint64_t srcRowBytes = 0;    // valid bytes in a decoded row

  uint32_t SrcPixelBits() const { return srcBits * srcSamples; }
};

// What the file's tags allow; false when no sound conversion exists.
bool PlanConversion(uint32_t depth, uint16_t photometric, uint16_t decodedBits, uint16_t samples,
                    uint16_t sampleFormat, PixelConversion* plan);

// ORs bits bits of src, from bit srcBit on (most significant first), into dst
// from bit dstBit on: packed pixels of any width, also across bytes. dst's
// bits there must be clear.
inline void CopyBits(const uint8_t* src, uint64_t srcBit, uint8_t* dst, uint64_t dstBit, uint64_t bits) {
  for (uint64_t k = 0; k < bits; ++k) {
    const uint64_t s = srcBit + k;
    const uint64_t t = dstBit + k;
    if ((src[s >> 3] >> (7 - (s & 7))) & 1u) dst[t >> 3] |= uint8_t(0x80u >> (t & 7));
  }
}

// Writes count delivered pixels into dst, taking source columns first,
// first + step, ...; columns outside [0, width) give 0.
void ConvertPixels(const PixelConversion& plan, const uint8_t* src, uint32_t width, uint8_t* dst,
                   int64_t first, int64_t step, uint32_t count);

#endif

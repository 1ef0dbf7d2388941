#include "plugin/pixel_convert.h"

#include <cstring>

#include <tiffio.h>

bool PlanConversion(uint32_t depth, uint16_t photometric, uint16_t decodedBits, uint16_t samples,
                    uint16_t sampleFormat, PixelConversion* plan) {
  PixelConversion p;
  p.depth = depth;
  p.srcBits = decodedBits;
  p.srcSamples = samples;
  if (depth == 0 || decodedBits == 0 || samples == 0) return false;
  const uint32_t srcPixelBits = uint32_t(decodedBits) * samples;
  const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
  if (srcPixelBits == depth) {
    p.kind = PixelConversion::Kind::kIdentity;
  } else if ((depth == 8 || depth == 24 || depth == 32) &&
             (decodedBits == 8 || decodedBits == 16 || decodedBits == 32) && samples >= depth / 8 &&
             !(sampleFormat == SAMPLEFORMAT_IEEEFP && decodedBits > 8)) {
    p.kind = PixelConversion::Kind::kSelect;
    p.outSamples = depth / 8;
  } else if (depth == 8 && grey && samples == 1 && (decodedBits == 1 || decodedBits == 2 || decodedBits == 4)) {
    p.kind = PixelConversion::Kind::kExpandGrey;
  } else {
    return false;
  }
  *plan = p;
  return true;
}

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndian = true;
#else
constexpr bool kBigEndian = false;
#endif

// Samples of at most 8 bits (grey expansion).
inline unsigned GetBits(const uint8_t* src, uint64_t bitOffset, unsigned bits) {
  unsigned v = 0;
  for (unsigned k = 0; k < bits; ++k) {
    const uint64_t b = bitOffset + k;
    v = (v << 1) | ((src[b >> 3] >> (7 - (b & 7))) & 1u);
  }
  return v;
}

}  // namespace

void ConvertPixels(const PixelConversion& plan, const uint8_t* src, uint32_t width, uint8_t* dst,
                   int64_t first, int64_t step, uint32_t count) {
  const uint64_t srcPixelBits = plan.SrcPixelBits();
  // A decoded row shorter than the image (subsampled YCbCr) limits the columns.
  int64_t columns = int64_t(width);
  if (srcPixelBits != 0 && int64_t(plan.srcRowBytes * 8 / srcPixelBits) < columns)
    columns = int64_t(plan.srcRowBytes * 8 / srcPixelBits);
  const int64_t last = first + step * (int64_t(count) - 1);
  const bool allInside = count == 0 || (first >= 0 && first < columns && last >= 0 && last < columns);
  const uint32_t d = plan.depth;

  switch (plan.kind) {
    case PixelConversion::Kind::kIdentity:
      if (d % 8 == 0) {
        const uint32_t b = d / 8;
        if (step == 1 && allInside) {
          std::memcpy(dst, src + uint64_t(first) * b, uint64_t(count) * b);
          return;
        }
        if (allInside) {
          // Fixed pixel sizes keep the per-pixel copy down to plain moves.
          const int64_t stepBytes = step * int64_t(b);
          const uint8_t* s = src + uint64_t(first) * b;
          switch (b) {
            case 1:
              for (uint32_t i = 0; i < count; ++i) dst[i] = s[stepBytes * i];
              return;
            case 3:
              for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* px = s + stepBytes * i;
                dst[3 * i] = px[0];
                dst[3 * i + 1] = px[1];
                dst[3 * i + 2] = px[2];
              }
              return;
            case 4:
              for (uint32_t i = 0; i < count; ++i) std::memcpy(dst + 4 * uint64_t(i), s + stepBytes * i, 4);
              return;
            default:
              for (uint32_t i = 0; i < count; ++i) std::memcpy(dst + uint64_t(i) * b, s + stepBytes * i, b);
              return;
          }
        }
        for (uint32_t i = 0; i < count; ++i) {
          const int64_t col = first + step * int64_t(i);
          if (col >= 0 && col < columns)
            std::memcpy(dst + uint64_t(i) * b, src + uint64_t(col) * b, b);
          else
            std::memset(dst + uint64_t(i) * b, 0, b);
        }
        return;
      }
      if (step == 1 && allInside && (uint64_t(first) * d) % 8 == 0) {
        std::memcpy(dst, src + uint64_t(first) * d / 8, (uint64_t(count) * d + 7) / 8);
        return;
      }
      std::memset(dst, 0, (uint64_t(count) * d + 7) / 8);
      for (uint32_t i = 0; i < count; ++i) {
        const int64_t col = first + step * int64_t(i);
        if (col >= 0 && col < columns) CopyBits(src, uint64_t(col) * d, dst, uint64_t(i) * d, d);
      }
      return;

    case PixelConversion::Kind::kSelect: {
      const uint32_t sampleBytes = plan.srcBits / 8;
      const uint32_t msb = kBigEndian ? 0 : sampleBytes - 1;
      const uint32_t n = plan.outSamples;
      const uint64_t pixelBytes = uint64_t(sampleBytes) * plan.srcSamples;
      for (uint32_t i = 0; i < count; ++i) {
        const int64_t col = first + step * int64_t(i);
        uint8_t* out = dst + uint64_t(i) * n;
        if (col >= 0 && col < columns) {
          const uint8_t* px = src + uint64_t(col) * pixelBytes + msb;
          for (uint32_t s = 0; s < n; ++s) out[s] = px[uint64_t(s) * sampleBytes];
        } else {
          std::memset(out, 0, n);
        }
      }
      return;
    }

    case PixelConversion::Kind::kExpandGrey: {
      const unsigned bits = plan.srcBits;
      const unsigned maxValue = (1u << bits) - 1;
      for (uint32_t i = 0; i < count; ++i) {
        const int64_t col = first + step * int64_t(i);
        dst[i] = (col >= 0 && col < columns)
                     ? uint8_t(GetBits(src, uint64_t(col) * bits, bits) * 255u / maxValue)
                     : 0;
      }
      return;
    }
  }
}

#include "plugin/host_rows.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define ZELTO_SWAP_SSSE3 1
#include <tmmintrin.h>
#endif

namespace {

void SwapScalar(uint8_t* row, std::size_t pixelCount, std::size_t bytesPerPixel) {
  for (std::size_t i = 0; i < pixelCount; ++i, row += bytesPerPixel) {
    const uint8_t t = row[0];
    row[0] = row[2];
    row[2] = t;
  }
}

#ifdef ZELTO_SWAP_SSSE3
// Every row of every zone and save passes through here: one byte shuffle per
// 16 bytes keeps the exchange at memory speed, where a byte loop is half that.
// Three-byte pixels straddle registers, so 48 bytes (16 pixels) are taken at
// once and the three bytes that cross a register edge are shuffled in from the
// neighbour.
__attribute__((target("ssse3"))) void Swap24Ssse3(uint8_t* row, std::size_t pixelCount) {
  const char z = char(0x80);  // pshufb: a set top bit gives 0
  const __m128i m0 = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, z);
  const __m128i m0b = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, z, 1);
  const __m128i m1 = _mm_setr_epi8(0, z, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, z, 15);
  const __m128i m1a = _mm_setr_epi8(z, 15, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
  const __m128i m1c = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, 0, z);
  const __m128i m2 = _mm_setr_epi8(z, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
  const __m128i m2b = _mm_setr_epi8(14, z, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
  std::size_t i = 0;
  for (; i + 16 <= pixelCount; i += 16, row += 48) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 32));
    const __m128i o0 = _mm_or_si128(_mm_shuffle_epi8(a, m0), _mm_shuffle_epi8(b, m0b));
    const __m128i o1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m1), _mm_shuffle_epi8(a, m1a)),
                                    _mm_shuffle_epi8(c, m1c));
    const __m128i o2 = _mm_or_si128(_mm_shuffle_epi8(c, m2), _mm_shuffle_epi8(b, m2b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), o0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 16), o1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 32), o2);
  }
  SwapScalar(row, pixelCount - i, 3);
}

__attribute__((target("ssse3"))) void Swap32Ssse3(uint8_t* row, std::size_t pixelCount) {
  const __m128i m = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  std::size_t i = 0;
  for (; i + 8 <= pixelCount; i += 8, row += 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_shuffle_epi8(a, m));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 16), _mm_shuffle_epi8(b, m));
  }
  SwapScalar(row, pixelCount - i, 4);
}

bool HaveSsse3() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return have;
}
#endif

}  // namespace

void SwapRedBlue(uint8_t* row, std::size_t pixelCount, std::size_t bytesPerPixel) {
  if (bytesPerPixel < 3) return;
#ifdef ZELTO_SWAP_SSSE3
  if (HaveSsse3()) {
    if (bytesPerPixel == 3) return Swap24Ssse3(row, pixelCount);
    if (bytesPerPixel == 4) return Swap32Ssse3(row, pixelCount);
  }
#endif
  SwapScalar(row, pixelCount, bytesPerPixel);
}

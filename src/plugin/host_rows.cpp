#include "plugin/host_rows.h"

void SwapRedBlue(uint8_t* row, std::size_t pixelCount, std::size_t bytesPerPixel) {
  // Fixed-stride loops for the common depths let the compiler vectorise them.
  if (bytesPerPixel == 3) {
    for (std::size_t i = 0; i < pixelCount; ++i, row += 3) {
      uint8_t t = row[0];
      row[0] = row[2];
      row[2] = t;
    }
  } else if (bytesPerPixel == 4) {
    for (std::size_t i = 0; i < pixelCount; ++i, row += 4) {
      uint8_t t = row[0];
      row[0] = row[2];
      row[2] = t;
    }
  } else if (bytesPerPixel >= 3) {
    for (std::size_t i = 0; i < pixelCount; ++i, row += bytesPerPixel) {
      uint8_t t = row[0];
      row[0] = row[2];
      row[2] = t;
    }
  }
}

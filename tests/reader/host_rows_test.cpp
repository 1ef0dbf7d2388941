#include <gtest/gtest.h>

#include <vector>

#include "plugin/host_rows.h"

// The vectorised exchange against the plain byte loop, over lengths that
// cross its block sizes and starts that are not aligned.
TEST(HostRows, SwapRedBlueMatchesTheByteLoop) {
  for (size_t bpp = 0; bpp <= 6; ++bpp)
    for (size_t offset = 0; offset < 5; ++offset)
      for (size_t pixels = 0; pixels <= 70; ++pixels) {
        std::vector<uint8_t> row(offset + pixels * bpp + 8);
        for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 7 + 3);
        std::vector<uint8_t> want = row;
        if (bpp >= 3)
          for (size_t p = 0; p < pixels; ++p) std::swap(want[offset + p * bpp], want[offset + p * bpp + 2]);
        SwapRedBlue(row.data() + offset, pixels, bpp);
        ASSERT_EQ(row, want) << "bpp " << bpp << " offset " << offset << " pixels " << pixels;
      }
}

TEST(HostRows, RowBytesRoundsToWholeWordsWithoutWrapping) {
  EXPECT_EQ(RowBytes(5, 24), 16u);
  EXPECT_EQ(RowBytes(1, 1), 4u);
  EXPECT_EQ(RowBytes(33, 1), 8u);
  EXPECT_EQ(RowBytes(0xFFFFFFFFu, 32), 0x3FFFFFFFCull);
}

// Real files from other projects' test suites: each opens or is refused
// cleanly, zone reads never crash, and simple stripped files show the pixels
// libtiff itself renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tiff_fixture.h"
#include "zone_helpers.h"

namespace {

struct FileInfo {
  bool comparable = false;
};

// Stripped, contiguous, top-left files whose delivered pixels are plain
// grey, palette or RGB values.
FileInfo Inspect(const std::string& path) {
  FileInfo info;
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (t == nullptr) return info;
  uint16_t photometric = 0, bits = 1, samples = 1, planar = 1, orientation = 1, compression = 1, format = 1;
  const bool hasPhotometric = TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  info.comparable = hasPhotometric && !TIFFIsTiled(t) && planar == PLANARCONFIG_CONTIG &&
                    orientation == ORIENTATION_TOPLEFT && format == SAMPLEFORMAT_UINT &&
                    compression != COMPRESSION_OJPEG &&
                    ((grey && samples == 1 && (bits == 1 || bits == 8)) ||
                     (photometric == PHOTOMETRIC_PALETTE && samples == 1 && bits <= 8) ||
                     (photometric == PHOTOMETRIC_RGB && samples == 3 && bits == 8));
  TIFFClose(t);
  return info;
}

}  // namespace

TEST(ReaderCorpus, EveryFileOpensOrIsRefusedCleanly) {
  const std::string corpus = fixture::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no shared corpus in this clone";
  int opened = 0, refused = 0, compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext != ".tif" && ext != ".tiff") continue;
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    const FileInfo info = Inspect(path);
    OpenedRaster r(path);
    if (!r.ok) {
      ++refused;
      ASSERT_EQ(r.errors.texts.size(), 1u);
      EXPECT_EQ(r.errors.texts[0], "Error openning TIF file");
      continue;
    }
    ++opened;
    const int32_t w = int32_t(r.Width()), h = r.Height();
    if (w <= 0 || h <= 0) continue;
    // Whole image when it is small; its top rows otherwise.
    const int32_t rows = uint64_t(w) * h <= (uint64_t(1) << 22) ? h : std::min<int32_t>(h, 64);
    Zone full;
    ReadZone(r, full, 0, w, 0, rows, w, rows);
    EXPECT_EQ(full.result, 1);
    Zone small;
    ReadZone(r, small, 0, w, 0, h, std::min(w - (w > 1 ? 1 : 0), 37), std::min(h, 23));
    EXPECT_EQ(small.result, 1);

    if (!info.comparable || rows != h) continue;
    uint32_t rw = 0, rh = 0;
    const std::vector<uint32_t> rgba = fixture::ReadRgba(path, &rw, &rh);
    if (rgba.empty()) continue;
    ++compared;
    int bad = 0;
    for (int y = 0; y < h && bad < 3; ++y)
      for (int x = 0; x < w && bad < 3; ++x) {
        const uint32_t got = DeliveredColour(full.bitmap, x, y);
        const uint32_t want = RgbaColour(rgba[uint64_t(y) * w + x]);
        if (got != want) {
          ADD_FAILURE() << "pixel " << x << "," << y << std::hex << " got " << got << " want " << want;
          ++bad;
        }
      }
  }
  EXPECT_GT(opened, 0);
  std::printf("corpus: %d opened, %d refused, %d compared with libtiff's rendering\n", opened, refused, compared);
}

#include <gtest/gtest.h>

#include <string>

#include "tifferror/tiff_error_capture.h"

namespace {

void Capture(const char* module, const char* format, ...) {
  va_list args;
  va_start(args, format);
  TiffErrorCapture(module, format, args);
  va_end(args);
}

}  // namespace

TEST(TiffErrorCapture, ModuleColonMessageOrTheMessageAlone) {
  Capture("TIFFOpen", "%s: Cannot open", "a.tif");
  EXPECT_STREQ(TiffErrorText(), "TIFFOpen: a.tif: Cannot open");
  Capture(nullptr, "Not a TIFF file, bad version number %d (0x%x)", 10, 10);
  EXPECT_STREQ(TiffErrorText(), "Not a TIFF file, bad version number 10 (0xa)");
}

TEST(TiffErrorCapture, LongTextsAreCutToTheBuffer) {
  const std::string longModule(1500, 'm');
  const std::string longMessage(1500, 'x');
  Capture("mod", "%s", longMessage.c_str());
  EXPECT_EQ(std::string(TiffErrorText()), "mod: " + longMessage.substr(0, 994));
  Capture(longModule.c_str(), "%s", "tail");
  EXPECT_EQ(std::string(TiffErrorText()).size(), kTiffErrorTextSize - 1);
}

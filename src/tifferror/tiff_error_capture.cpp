#include "tifferror/tiff_error_capture.h"

#include <cstdio>
#include <cstring>

#include <tiffio.h>

namespace {

char gLastError[kTiffErrorTextSize];

void DiscardWarning(const char*, const char*, va_list) {}

}  // namespace

char* TiffErrorText() { return gLastError; }

void TiffErrorCapture(const char* module, const char* format, va_list args) {
  gLastError[0] = '\0';
  std::size_t used = 0;
  if (module != nullptr) {
    int n = std::snprintf(gLastError, sizeof gLastError, "%s: ", module);
    if (n > 0) used = static_cast<std::size_t>(n) < sizeof gLastError ? static_cast<std::size_t>(n) : sizeof gLastError - 1;
  }
  char message[kTiffErrorTextSize];
  if (std::vsnprintf(message, sizeof message, format != nullptr ? format : "", args) < 0) message[0] = '\0';
  // Long texts are cut to fit the host's 1000-byte buffer.
  std::size_t room = sizeof gLastError - 1 - used;
  std::size_t len = std::strlen(message);
  if (len > room) len = room;
  std::memcpy(gLastError + used, message, len);
  gLastError[used + len] = '\0';
}

void InstallTiffErrorCapture() {
  TIFFSetErrorHandler(TiffErrorCapture);
  TIFFSetWarningHandler(DiscardWarning);
}

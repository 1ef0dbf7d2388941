// The last libtiff error text, shared by the reader, the writer and the
// georeference reader. Depends on libtiff alone.
#ifndef ZELTO_TIFF_ERROR_CAPTURE_H
#define ZELTO_TIFF_ERROR_CAPTURE_H

#include <cstdarg>
#include <cstddef>

constexpr std::size_t kTiffErrorTextSize = 1000;

// The module-wide buffer; empty until libtiff reports its first error.
char* TiffErrorText();

// libtiff's error handler: "module: message", or the message alone.
void TiffErrorCapture(const char* module, const char* format, va_list args);

// Installs TiffErrorCapture as libtiff's error handler and discards warnings.
void InstallTiffErrorCapture();

#endif

// Hosts resolve each entry point under its plain name and with a leading
// underscore; the alias makes both symbols the same function.
#ifndef ZELTO_EXPORT_ALIAS_H
#define ZELTO_EXPORT_ALIAS_H

#include "ZeltoPlugIn_TIFF.h"

#if defined(_WIN32)
#define ZELTO_UNDERSCORE_ALIAS(name)
#else
#define ZELTO_UNDERSCORE_ALIAS(name) \
  extern "C" ZELTO_EXPORT __typeof__(name) _##name __attribute__((alias(#name)));
#endif

#endif

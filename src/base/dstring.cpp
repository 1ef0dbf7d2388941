// Number formatting of DString; the block handling is inline in DString.h.
#include "DString.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

namespace {

constexpr int kAreaFormato = 10000;

// Decimal digits of v with a leading '-' for negatives, itoa-style;
// returns the length. buffer holds at least 12 bytes.
int EnteroATexto(int v, char* buffer) {
  char invertido[12];
  int n = 0;
  // Work in unsigned so that INT_MIN has a magnitude.
  unsigned int magnitud = v < 0 ? 0u - static_cast<unsigned int>(v) : static_cast<unsigned int>(v);
  do {
    invertido[n++] = static_cast<char>('0' + magnitud % 10);
    magnitud /= 10;
  } while (magnitud != 0);
  int l = 0;
  if (v < 0) buffer[l++] = '-';
  while (n > 0) buffer[l++] = invertido[--n];
  buffer[l] = 0;
  return l;
}

}  // namespace

int DString::Formatea(const char* formato, ...) {
  if (formato == nullptr) formato = "";
  std::unique_ptr<char[]> area(new char[kAreaFormato]);
  va_list args;
  va_start(args, formato);
  va_list otra;
  va_copy(otra, args);
  int r = std::vsnprintf(area.get(), kAreaFormato, formato, args);
  va_end(args);
  if (r < 0) {
    // The formatter failed: nothing trustworthy to store, the text stays.
    va_end(otra);
    return r;
  }
  const char* resultado = area.get();
  std::unique_ptr<char[]> grande;
  if (r >= kAreaFormato) {
    // Too long for the work area: format again into one sized from the
    // formatter's own count instead of writing past the area.
    grande.reset(new char[static_cast<std::size_t>(r) + 1]);
    std::vsnprintf(grande.get(), static_cast<std::size_t>(r) + 1, formato, otra);
    resultado = grande.get();
  }
  va_end(otra);
  // The arguments may have pointed into this text, so it is replaced only now.
  ReservaLarga(r, true);
  std::memcpy(texto, resultado, static_cast<std::size_t>(r) + 1);
  return r;
}

DString& DString::Anade(int v) {
  char digitos[12];
  int n = EnteroATexto(v, digitos);
  int l = Longitud();
  ReservaLarga(static_cast<int64_t>(l) + n + 1, true);
  std::memcpy(texto + l, digitos, static_cast<std::size_t>(n) + 1);
  return *this;
}

DString& DString::Anade(double v) {
  int d = texto != nullptr ? LeeCampo(kOffsetDecimales) : kDecimalesDefecto;
  char formato[24];
  if (d < 0) {
    std::strcpy(formato, "%lf");
  } else {
    char digitos[12];
    EnteroATexto(d, digitos);
    std::strcpy(formato, "%.");
    std::strcat(formato, digitos);
    std::strcat(formato, "lf");
  }
  DString temporal;
  temporal.Formatea(formato, v);
  return Anade(temporal);
}

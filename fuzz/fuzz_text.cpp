// The string text operations on strings taken from the input.
// Input: flags byte, then NUL-separated: text, separators, pattern, replacement.
#include <cstdlib>

#include "DString.h"
#include "base/vector.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::Input in(data, size);
  const uint8_t flags = in.Take<uint8_t>();
  const int16_t desde = in.Take<int16_t>();
  const int8_t maxPartes = in.Take<int8_t>();
  const std::string text = in.TakeString(), separators = in.TakeString();
  const std::string pattern = in.TakeString(), replacement = in.TakeString();
  const bool palabra = flags & 1, mayusculas = flags & 2, acentos = flags & 4, coma = flags & 8;

  DString s(text.c_str());
  s.PonPaginaCodigos(flags >> 6);
  const int n = s.Longitud();

  Vector<DString> partes(4, 4);
  try {
    s.Divide(separators.c_str(), partes, maxPartes, flags & 16);
  } catch (const TXErrorVectoresDG& e) {
    // The one documented throw: no parts allowed, yet text left to put in one.
    if (maxPartes != 0 || e.Codigo != 7) std::abort();
  }
  for (int i = 0; i < partes.Numero(); ++i) {
    const DString* p = partes.Elemento(i + partes.IndiceBase());
    if (p != nullptr && p->Longitud() > n) std::abort();
  }

  const int resto = s.InicioResto(separators.c_str());
  if (resto < -1 || resto > n) std::abort();
  volatile double r = LeeReal(s.Texto(), coma) + s.ValorReal(coma);
  volatile int e = s.ValorEntero();
  (void)r;
  (void)e;

  const int at = s.Busca(pattern.c_str(), desde, palabra, mayusculas, acentos);
  if (at < -1 || at > n) std::abort();
  s.Busca(pattern.c_str());
  if (!pattern.empty()) {
    s.Busca(pattern[0]);
    s.BuscaUltimo(pattern[0]);
  }

  DString izquierda, derecha, clave, valor;
  s.DivideEn(izquierda, derecha, separators.empty() ? ',' : separators[0]);
  s.DivideClaveValor(clave, valor);

  DString editado(s);
  editado.Sustituye(pattern.c_str(), replacement.c_str(), palabra);
  // Patterns that point into the edited text itself.
  DString propio(s);
  if (propio.Longitud() > 1) propio.Sustituye(propio.Texto() + 1, "x", false);
  editado.SustituyeCaracter(pattern.empty() ? 'a' : pattern[0], 'b');
  editado.QuitaBlancos();
  editado.CortaEn(separators.empty() ? ' ' : separators[0]);
  return 0;
}

// Text operations of DString: search, cut, split, trim, replace, numbers.
#include "DString.h"

#include <cmath>
#include <cstdint>

#include "base/vector.h"

namespace {

constexpr int kPaginaTurca = 1254;

// Independent of any locale the host may have set.
char Mayuscula(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EsSeparador(char c, const char* separadores) {
  if (c == 0 || separadores == nullptr) return false;
  for (const char* s = separadores; *s != 0; ++s) {
    if (*s == c) return true;
  }
  return false;
}

bool EsBlanco(char c) { return c == ' ' || c == '\t'; }

bool EsEspacio(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int ValorHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// atol's reading (white space, sign, decimal digits), saturated to the
// 32-bit range that the plug-in's long has always had.
int LeeEnteroDecimal(const char* s) {
  while (EsEspacio(*s)) ++s;
  bool negativo = false;
  if (*s == '+' || *s == '-') negativo = *s++ == '-';
  int64_t v = 0;
  for (; EsDigito(*s); ++s) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) v = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negativo) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  return static_cast<int>(v);
}

// sscanf "%X" into an int: white space, sign, optional 0x prefix, hex digits,
// the 32-bit pattern read as signed; out of range saturates as the 32-bit
// conversion does. No digit at all gives 0.
int LeeEnteroHex(const char* s) {
  while (EsEspacio(*s)) ++s;
  bool negativo = false;
  if (*s == '+' || *s == '-') negativo = *s++ == '-';
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && ValorHex(s[2]) >= 0) s += 2;
  uint64_t v = 0;
  bool desborde = false;
  for (int d; (d = ValorHex(*s)) >= 0; ++s) {
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > UINT32_MAX) {
      desborde = true;
      v = UINT32_MAX;
    }
  }
  uint32_t patron = static_cast<uint32_t>(v);
  if (negativo && !desborde) patron = 0u - patron;
  return static_cast<int>(patron);
}

// atol's reading of an integer part, but without its range limit: a real
// beyond 2^31 keeps its integer digits.
double LeeParteEntera(const char* s) {
  while (EsEspacio(*s)) ++s;
  bool negativo = false;
  if (*s == '+' || *s == '-') negativo = *s++ == '-';
  double v = 0.0;
  for (; EsDigito(*s); ++s) v = v * 10.0 + (*s - '0');
  return negativo ? -v : v;
}

}  // namespace

// --- free functions -----------------------------------------------------------

bool EsDigito(char c) { return c >= '0' && c <= '9'; }

bool EsCaracterPalabra(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || EsDigito(c) || c == '_';
}

int Minimo(int a, int b) { return a < b ? a : b; }

int Maximo(int a, int b) { return a > b ? a : b; }

char QuitaAcento(char c, int paginaCodigos) {
  unsigned char u = static_cast<unsigned char>(c);
  switch (u) {
    case 0x27:
    case 0x2D:
    case 0x5F:
      return ' ';
    case 0x8A:
      return 'S';
    case 0x8E:
      return 'Z';
    case 0xC7:
      return 'C';
    case 0xD1:
      return 'N';
    case 0xDD:
      return 'Y';
    case 0xE7:
      return 'c';
    case 0xF1:
      return 'n';
    case 0xFD:
      return 'y';
    case 0xDE:
      return paginaCodigos == kPaginaTurca ? 'S' : c;
    case 0xFE:
      return paginaCodigos == kPaginaTurca ? 's' : c;
    default:
      break;
  }
  if (u >= 0xC0 && u <= 0xC5) return 'A';
  if (u >= 0xC8 && u <= 0xCB) return 'E';
  if (u >= 0xCC && u <= 0xCF) return 'I';
  if (u >= 0xD2 && u <= 0xD6) return 'O';
  if (u >= 0xD9 && u <= 0xDC) return 'U';
  if (u >= 0xE0 && u <= 0xE5) return 'a';
  if (u >= 0xE8 && u <= 0xEB) return 'e';
  if (u >= 0xEC && u <= 0xEF) return 'i';
  if (u >= 0xF2 && u <= 0xF6) return 'o';
  if (u >= 0xF9 && u <= 0xFC) return 'u';
  return c;
}

double LeeReal(const char* s, bool admiteComa) {
  if (s == nullptr) return 0.0;
  while (*s == ' ') ++s;
  bool negativo = false;
  if (*s == '-') {
    negativo = true;
    ++s;
  }
  double valor = LeeParteEntera(s);
  const char* marca = std::strchr(s, '.');
  if (admiteComa) {
    const char* coma = std::strchr(s, ',');
    if (coma != nullptr && (marca == nullptr || coma < marca)) marca = coma;
  }
  if (marca != nullptr) {
    // Past 300 digits the rest cannot change a double, and 10^k would
    // overflow to infinity and turn the value into NaN.
    constexpr int kMaxDigitos = 300;
    double f = 0.0;
    int k = 0;
    for (const char* p = marca + 1; EsDigito(*p); ++p) {
      if (k < kMaxDigitos) {
        f = f * 10.0 + (*p - '0');
        ++k;
      }
    }
    if (k > 0) valor += f / std::pow(10.0, k);
  }
  return negativo ? -valor : valor;
}

// --- search and cutting ------------------------------------------------------------

int DString::Busca(char c) const {
  if (texto == nullptr) return c == 0 ? 0 : -1;
  const char* p = std::strchr(texto, c);
  return p ? static_cast<int>(p - texto) : -1;
}

int DString::BuscaUltimo(char c) const {
  if (texto == nullptr) return c == 0 ? 0 : -1;
  const char* p = std::strrchr(texto, c);
  return p ? static_cast<int>(p - texto) : -1;
}

int DString::Busca(const char* s) const {
  if (texto == nullptr || s == nullptr) return -1;
  const char* p = std::strstr(texto, s);
  return p ? static_cast<int>(p - texto) : -1;
}

int DString::Busca(const char* patron, int desde, bool palabraEntera, bool ignoraMayusculas,
                   bool ignoraAcentos) const {
  if (texto == nullptr || patron == nullptr) return -1;
  int n = Longitud();
  // A start outside the text would read outside the block.
  if (desde < 0) desde = 0;
  if (desde > n) return -1;
  if (!palabraEntera && !ignoraMayusculas && !ignoraAcentos) {
    const char* p = std::strstr(texto + desde, patron);
    return p ? static_cast<int>(p - texto) : -1;
  }
  int cp = PaginaCodigos();
  int lp = static_cast<int>(std::strlen(patron));
  for (int i = desde; i <= n - lp; ++i) {
    int k = 0;
    for (; k < lp; ++k) {
      char c = texto[i + k];
      if (ignoraAcentos) c = QuitaAcento(c, cp);
      if (ignoraMayusculas) c = Mayuscula(c);
      if (c != patron[k]) break;
    }
    if (k < lp) continue;
    if (palabraEntera) {
      if (i > 0 && EsCaracterPalabra(texto[i - 1])) continue;
      if (i + lp < n && EsCaracterPalabra(texto[i + lp])) continue;
    }
    return i;
  }
  return -1;
}

int DString::CortaEn(char c) {
  int p = Busca(c);
  if (p >= 0 && texto != nullptr) texto[p] = 0;
  return p;
}

int DString::InicioResto(const char* separadores) const {
  if (texto == nullptr) return -1;
  int i = 0;
  bool entreComillas = false;
  for (; texto[i] != 0; ++i) {
    if (texto[i] == '"') {
      entreComillas = !entreComillas;
    } else if (!entreComillas && EsSeparador(texto[i], separadores)) {
      break;
    }
  }
  if (texto[i] == 0) return -1;
  while (EsSeparador(texto[i], separadores)) ++i;
  return texto[i] == 0 ? -1 : i;
}

// --- splitting --------------------------------------------------------------------------

bool DString::Divide(const char* separadores, Vector<DString>& partes, int maxPartes,
                     bool conVacios) const {
  // Emptying the parts would destroy this string if it is one of them.
  for (int k = 0; k < partes.Numero(); ++k) {
    int indice = k + partes.IndiceBase();
    if (partes.Existe(indice) && partes.Elemento(indice) == this) {
      DString copia(*this);
      return copia.Divide(separadores, partes, maxPartes, conVacios);
    }
  }
  partes.Vacia();
  int inicio = 0;
  int n = Longitud();
  for (int j = 0; j < n; ++j) {
    if (!EsSeparador(texto[j], separadores)) continue;
    if (!(j > 0 || conVacios)) continue;
    if (!(maxPartes < 0 || partes.Numero() < maxPartes)) continue;
    if (inicio < j || conVacios) {
      DString* parte = partes.AnadeNuevo();
      for (int k = inicio; k < j; ++k) parte->Anade(texto[k]);
    }
    inicio = j + 1;
  }
  if (maxPartes < 0 || partes.Numero() < maxPartes) {
    if (inicio != n) {
      DString* parte = partes.AnadeNuevo();
      for (int k = inicio; k < n; ++k) parte->Anade(texto[k]);
    }
  } else if (partes.Numero() == maxPartes && inicio < n) {
    DString* ultima = partes.Elemento(partes.Numero() - 1 + partes.IndiceBase());
    ultima->Anade(texto + inicio - 1);
  }
  return true;
}

bool DString::DivideEn(DString& izquierda, DString& derecha, char separador) const {
  int p = Busca(separador);
  if (p < 1) return false;
  // Either output may be this very string: work from a copy then.
  if (&izquierda == this || &derecha == this) {
    DString copia(*this);
    return copia.DivideEn(izquierda, derecha, separador);
  }
  derecha.Asigna(texto + p + 1);
  izquierda.Asigna(texto, p);
  return true;
}

bool DString::DivideClaveValor(DString& clave, DString& valor) const {
  return DivideEn(clave, valor, '=');
}

// --- editing ------------------------------------------------------------------------------

void DString::QuitaBlancos() {
  if (texto == nullptr) return;
  int i = 0;
  while (EsBlanco(texto[i])) ++i;
  if (texto[i] == 0) {
    texto[0] = 0;
    return;
  }
  int j = Longitud() - 1;
  while (EsBlanco(texto[j])) --j;
  texto[j + 1] = 0;
  if (i > 0) std::memmove(texto, texto + i, static_cast<std::size_t>(j + 1 - i) + 1);
}

int DString::SustituyeCaracter(char de, char por) {
  // Replacing the terminator would run past the text.
  if (texto == nullptr || de == 0) return 0;
  int cuenta = 0;
  for (char* p = texto; *p != 0; ++p) {
    if (*p == de) {
      *p = por;
      ++cuenta;
    }
  }
  return cuenta;
}

int DString::Sustituye(const char* buscado, const char* nuevo, bool palabraEntera) {
  // An empty pattern matches everywhere, including right after each insertion:
  // it would never end.
  if (buscado == nullptr || buscado[0] == 0) return 0;
  if (nuevo == nullptr) nuevo = "";
  if (std::strcmp(buscado, nuevo) == 0) return 0;
  // Patterns taken from this very text would change under the edits.
  if (ApuntaDentro(buscado) || ApuntaDentro(nuevo)) {
    DString copiaBuscado(buscado);
    DString copiaNuevo(nuevo);
    return Sustituye(copiaBuscado.Texto(), copiaNuevo.Texto(), palabraEntera);
  }
  int lb = static_cast<int>(std::strlen(buscado));
  int ln = static_cast<int>(std::strlen(nuevo));
  int cuenta = 0;
  int p = Busca(buscado, 0, palabraEntera, false, false);
  while (p >= 0) {
    DString resto(texto + p + lb);
    texto[p] = 0;
    Anade(nuevo).Anade(resto);
    p = Busca(buscado, p + ln, palabraEntera, false, false);
    ++cuenta;
  }
  return cuenta;
}

// --- numbers ------------------------------------------------------------------------------

double DString::ValorReal(bool admiteComa) const {
  if (EstaVacio()) return 0.0;
  return LeeReal(texto, admiteComa);
}

int DString::ValorEntero() const {
  if (EstaVacio()) return 0;
  if (texto[0] == '0' && texto[1] == 'x') return LeeEnteroHex(texto + 2);
  return LeeEnteroDecimal(texto);
}

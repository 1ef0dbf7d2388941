/* DString: the text type shared with the host.
 *
 * A DString is one pointer to NUL-terminated 8-bit text that lives inside a
 * block with a 16-byte header in front of it:
 *
 *   offset -16  PaginaCodigos  int32  code page for accent folding (0: default)
 *   offset -12  Decimales      int32  decimals written by Anade(double); <0: six
 *   offset  -8  Capacidad      int32  bytes of text room, terminator included
 *   offset  -4  Auxiliar       int32  -1 when created, carried along on growth
 *   offset   0  text           char[Capacidad]
 *
 * Blocks come from the array forms of the global operator new and delete, so a
 * string made on one side of the module boundary can be grown and released on
 * the other (Lee_GeoTIFF writes its error text into the caller's string).
 *
 * The block handling below is inline on purpose: a host compiling against
 * this header alone can create, read, fill and release strings with exactly
 * the layout and growth rule the plug-in uses. Number formatting and the text
 * operations (search, split, trim, replace, parse) live in the plug-in's base
 * library. */
#ifndef ZELTO_DSTRING_H
#define ZELTO_DSTRING_H

#ifndef __cplusplus
#error "DString.h is C++ only"
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>

template <class T>
class Vector;

class CDString {
 protected:
  // Null, or the first character of the text inside a block.
  char* texto = nullptr;
};

class DString : public CDString {
 public:
  static constexpr int kTamanoCabecera = 16;
  static constexpr int kPaginaCodigosDefecto = 0;
  static constexpr int kDecimalesDefecto = 1;
  static constexpr int kOffsetPaginaCodigos = -16;
  static constexpr int kOffsetDecimales = -12;
  static constexpr int kOffsetCapacidad = -8;
  static constexpr int kOffsetAuxiliar = -4;

  // --- construction, destruction and room -------------------------------
  DString() = default;
  DString(const char* origen);  // NOLINT: implicit, texts pass as strings
  DString(const DString& otro);
  ~DString() { Libera(); }

  // Assignment keeps this string's block and header (Asigna), unlike copying.
  DString& operator=(const DString& otro) { return Asigna(otro); }
  DString& operator=(const char* origen) { return Asigna(origen); }

  void Libera();
  void Reserva(int n, bool holgura);
  char* PideBuffer(int n);
  char* PtrCaracter(int i);

  // --- queries ------------------------------------------------------------
  int Longitud() const { return texto ? static_cast<int>(std::strlen(texto)) : 0; }
  bool EstaVacio() const { return texto == nullptr || texto[0] == 0; }
  char* Texto() const { return texto ? texto : const_cast<char*>(TextoVacio()); }
  char Caracter(int i) const { return (i >= 0 && i < Longitud()) ? texto[i] : 0; }
  int PaginaCodigos() const;
  // Header fields as stored; the defaults when there is no block.
  int Decimales() const { return texto ? LeeCampo(kOffsetDecimales) : kDecimalesDefecto; }
  int Capacidad() const { return texto ? LeeCampo(kOffsetCapacidad) : 0; }
  int Auxiliar() const { return texto ? LeeCampo(kOffsetAuxiliar) : -1; }
  void PonPaginaCodigos(int paginaCodigos);

  // --- assignment -----------------------------------------------------------
  DString& Asigna(const char* origen);
  DString& Asigna(const DString& otro);
  void Asigna(const char* origen, int n);

  // --- appending ------------------------------------------------------------
  DString& Anade(const char* origen);
  DString& Anade(const DString& otro);
  DString& Anade(char c);
  DString& Anade(int v);
  DString& Anade(double v);
  DString& PonDecimales(int d);
#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  int Formatea(const char* formato, ...);

  // --- comparison -------------------------------------------------------------
  int Compara(const char* s) const;
  int ComparaN(const char* s, int n) const;
  bool EsIgual(const char* s) const { return Compara(s) == 0; }
  bool EsIgual(const DString& otro) const { return Compara(otro.texto) == 0; }
  bool EsDistinto(const char* s) const { return Compara(s) != 0; }

  // --- search and cutting --------------------------------------------------------
  int Busca(char c) const;
  int BuscaUltimo(char c) const;
  int Busca(const char* s) const;
  int Busca(const char* patron, int desde, bool palabraEntera, bool ignoraMayusculas,
            bool ignoraAcentos) const;
  int CortaEn(char c);
  int InicioResto(const char* separadores) const;

  // --- splitting (the text itself is not changed) ----------------------------------
  bool Divide(const char* separadores, Vector<DString>& partes, int maxPartes = -1,
              bool conVacios = false) const;
  bool DivideEn(DString& izquierda, DString& derecha, char separador) const;
  bool DivideClaveValor(DString& clave, DString& valor) const;

  // --- editing ------------------------------------------------------------------------
  void QuitaBlancos();
  int SustituyeCaracter(char de, char por);
  int Sustituye(const char* buscado, const char* nuevo, bool palabraEntera = false);

  // --- numbers --------------------------------------------------------------------------
  double ValorReal(bool admiteComa = false) const;
  int ValorEntero() const;

 private:
  static const char* TextoVacio() {
    static const char vacio[1] = {0};
    return vacio;
  }
  int LeeCampo(int offset) const {
    int32_t v;
    std::memcpy(&v, texto + offset, sizeof v);
    return v;
  }
  void EscribeCampo(int offset, int32_t v) {
    std::memcpy(texto + offset, &v, sizeof v);
  }
  // Room counts are worked out in 64 bits so that no request overflows.
  void ReservaLarga(int64_t n, bool holgura);
  // True when p points into this string's own text room, which a growth
  // would free before the copy reads it.
  bool ApuntaDentro(const char* p) const {
    if (texto == nullptr || p == nullptr) return false;
    std::less_equal<const char*> le;
    std::less<const char*> lt;
    return le(texto, p) && lt(p, texto + LeeCampo(kOffsetCapacidad));
  }
};

static_assert(sizeof(DString) == sizeof(void*), "DString is exactly one pointer");
static_assert(sizeof(CDString) == sizeof(void*), "CDString is exactly one pointer");

// Free functions of the string library.
double LeeReal(const char* s, bool admiteComa);
bool EsDigito(char c);
bool EsCaracterPalabra(char c);
char QuitaAcento(char c, int paginaCodigos);
int Minimo(int a, int b);
int Maximo(int a, int b);

// ---------------------------------------------------------------------------
// Inline block handling (shared by the plug-in and any host).

inline DString::DString(const char* origen) {
  if (origen != nullptr && origen[0] != 0) {
    std::size_t l = std::strlen(origen);
    ReservaLarga(static_cast<int64_t>(l), true);
    std::memcpy(texto, origen, l + 1);
  }
}

inline DString::DString(const DString& otro) : CDString() {
  if (!otro.EstaVacio()) {
    int l = otro.Longitud();
    ReservaLarga(l, true);
    std::memcpy(texto, otro.texto, static_cast<std::size_t>(l) + 1);
  }
}

inline void DString::Libera() {
  if (texto != nullptr) {
    delete[] (texto - kTamanoCabecera);
    texto = nullptr;
  }
}

inline void DString::Reserva(int n, bool holgura) { ReservaLarga(n, holgura); }

inline void DString::ReservaLarga(int64_t n, bool holgura) {
  if (n < 0) return;
  if (holgura) n += 2;
  // The header stores the room in 32 bits; a request beyond it cannot be met.
  constexpr int64_t kMaxRoom = INT32_MAX - 18;
  if (texto == nullptr) {
    int64_t c = holgura ? n + 13 : n;
    // The room always holds at least the terminator written below.
    if (c < 1) c = 1;
    if (c > kMaxRoom) throw std::bad_alloc();
    // Zeroed so that room handed out past the terminator never holds garbage.
    char* bloque = new char[static_cast<std::size_t>(c) + kTamanoCabecera]();
    texto = bloque + kTamanoCabecera;
    EscribeCampo(kOffsetPaginaCodigos, 0);
    EscribeCampo(kOffsetDecimales, kDecimalesDefecto);
    EscribeCampo(kOffsetCapacidad, static_cast<int32_t>(c));
    EscribeCampo(kOffsetAuxiliar, -1);
    texto[0] = 0;
    return;
  }
  int64_t capacidad = LeeCampo(kOffsetCapacidad);
  if (capacidad >= n) return;
  int64_t c = (3 * n) / 2 + 11;
  if (c > kMaxRoom) {
    if (n > kMaxRoom) throw std::bad_alloc();
    c = kMaxRoom;
  }
  char* bloque = new char[static_cast<std::size_t>(c) + kTamanoCabecera + 2]();
  char* nuevo = bloque + kTamanoCabecera;
  std::memcpy(nuevo, texto, static_cast<std::size_t>(capacidad));
  std::memcpy(bloque, texto - kTamanoCabecera, kTamanoCabecera);
  int32_t c32 = static_cast<int32_t>(c);
  std::memcpy(nuevo + kOffsetCapacidad, &c32, sizeof c32);
  delete[] (texto - kTamanoCabecera);
  texto = nuevo;
}

inline char* DString::PideBuffer(int n) {
  // A negative count would leave no room at all behind the returned pointer.
  ReservaLarga(static_cast<int64_t>(n < 0 ? 0 : n) + 10, true);
  return texto;
}

inline char* DString::PtrCaracter(int i) {
  if (i < 0) throw "Error DString n<0";
  ReservaLarga(static_cast<int64_t>(i) + 2, true);
  return texto + i;
}

inline int DString::PaginaCodigos() const {
  if (texto == nullptr) return kPaginaCodigosDefecto;
  int cp = LeeCampo(kOffsetPaginaCodigos);
  return cp != 0 ? cp : kPaginaCodigosDefecto;
}

inline void DString::PonPaginaCodigos(int paginaCodigos) {
  ReservaLarga(1, true);
  EscribeCampo(kOffsetPaginaCodigos, paginaCodigos);
}

inline DString& DString::Asigna(const char* origen) {
  if (origen == nullptr || origen[0] == 0) {
    if (texto != nullptr) texto[0] = 0;
    return *this;
  }
  if (ApuntaDentro(origen)) {
    DString copia(origen);
    return Asigna(copia);
  }
  std::size_t l = std::strlen(origen);
  ReservaLarga(static_cast<int64_t>(l) + 1, false);
  std::memcpy(texto, origen, l + 1);
  return *this;
}

inline DString& DString::Asigna(const DString& otro) {
  if (otro.EstaVacio()) return Asigna(static_cast<const char*>(nullptr));
  if (&otro == this) return *this;
  int l = otro.Longitud();
  ReservaLarga(static_cast<int64_t>(l) + 1, false);
  std::memcpy(texto, otro.texto, static_cast<std::size_t>(l) + 1);
  return *this;
}

inline void DString::Asigna(const char* origen, int n) {
  if (n < 0) n = 0;
  if (ApuntaDentro(origen)) {
    DString copia(origen);
    Asigna(copia.texto, n);
    return;
  }
  ReservaLarga(n, true);
  int i = 0;
  if (origen != nullptr) {
    while (i < n && origen[i] != 0) ++i;
    std::memmove(texto, origen, static_cast<std::size_t>(i));
  }
  texto[i] = 0;
  texto[n] = 0;
}

inline DString& DString::Anade(const char* origen) {
  if (origen == nullptr) return *this;
  if (ApuntaDentro(origen)) {
    DString copia(origen);
    return Anade(copia);
  }
  std::size_t lo = std::strlen(origen);
  int l = Longitud();
  ReservaLarga(static_cast<int64_t>(l) + static_cast<int64_t>(lo), true);
  std::memcpy(texto + l, origen, lo + 1);
  return *this;
}

inline DString& DString::Anade(const DString& otro) {
  int lo = otro.Longitud();
  int l = Longitud();
  ReservaLarga(static_cast<int64_t>(l) + lo, true);
  // Read otro's pointer after the growth: otro may be this very string.
  std::memcpy(texto + l, otro.Texto(), static_cast<std::size_t>(lo));
  texto[l + lo] = 0;
  return *this;
}

inline DString& DString::Anade(char c) {
  const char uno[2] = {c, 0};
  int l = Longitud();
  ReservaLarga(static_cast<int64_t>(l) + static_cast<int64_t>(std::strlen(uno)) + 1, true);
  std::memcpy(texto + l, uno, 2);
  return *this;
}

inline DString& DString::PonDecimales(int d) {
  ReservaLarga(1, true);
  EscribeCampo(kOffsetDecimales, d);
  return *this;
}

inline int DString::Compara(const char* s) const {
  if (s == nullptr || s[0] == 0) return EstaVacio() ? 0 : 1;
  if (EstaVacio()) return -1;
  return std::strcmp(texto, s);
}

inline int DString::ComparaN(const char* s, int n) const {
  if (s == nullptr) return EstaVacio() ? 0 : 1;
  if (EstaVacio()) return 1;
  // A negative count compares whole texts rather than wrapping to a huge size.
  return n < 0 ? std::strcmp(texto, s) : std::strncmp(texto, s, static_cast<std::size_t>(n));
}

#endif

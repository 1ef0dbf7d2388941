// Growable arrays of pointers to items, with a fixed growth step and checked
// indexing. Misuse throws TXErrorVectoresDG after breaking into an attached
// debugger (LanzaError).
#ifndef ZELTO_BASE_VECTOR_H
#define ZELTO_BASE_VECTOR_H

#include <cstdint>
#include <new>

class TXErrorVectoresDG {
 public:
  explicit TXErrorVectoresDG(int codigo) : Codigo(codigo) {}
  int32_t Codigo;
};

// Error codes carried by TXErrorVectoresDG.
constexpr int kErrorSinIncremento = 6;
constexpr int kErrorIndiceFuera = 7;
constexpr int kErrorElementoNulo = 8;
constexpr int kErrorPosicionInserta = 12;
constexpr int kErrorPosicionAnadeNuevo = 13;
constexpr int kErrorSinMemoria = 15;
constexpr int kErrorModeloNulo = 16;

// Breaks into an attached debugger (HayDepurador), then throws the code.
[[noreturn]] void LanzaError(int codigo);

template <class T>
class VectorI {
 public:
  VectorI(int capacidad, int incremento, bool propietario);
  virtual ~VectorI();

  // Items are owned through raw slots: a copy would delete them twice.
  VectorI(const VectorI&) = delete;
  VectorI& operator=(const VectorI&) = delete;

  int Numero() const { return numero < capacidad ? numero : capacidad; }
  int IndiceBase() const { return indiceBase; }
  bool Existe(int i) const;
  T* Elemento(int i) const;
  T* AnadeNuevo(int posicion = -1);
  void Crece(int n);
  void Vacia();

  // Read-only views of the growth state, for callers that size ahead.
  int Capacidad() const { return capacidad; }
  int Incremento() const { return incremento; }

 protected:
  // AnadeNuevo and Inserta differ only in the code of a bad position.
  T* InsertaNuevo(int posicion, int codigoPosicion, int* slot);

  bool propietario;
  int32_t numero = 0;
  int32_t capacidad = 0;
  int32_t incremento;
  int32_t indiceBase = 0;
  T** elementos = nullptr;
};

template <class T>
class Vector : public VectorI<T> {
 public:
  Vector(int capacidad, int incremento) : VectorI<T>(capacidad, incremento, true) {}
  ~Vector() override {}
  virtual int Inserta(const T* modelo, int posicion = -1);
};

// ---------------------------------------------------------------------------

template <class T>
VectorI<T>::VectorI(int capacidadInicial, int incrementoCrecida, bool esPropietario)
    : propietario(esPropietario), incremento(incrementoCrecida) {
  if (capacidadInicial > 0) {
    elementos = new (std::nothrow) T*[capacidadInicial];
    if (elementos == nullptr) LanzaError(kErrorSinMemoria);
    for (int i = 0; i < capacidadInicial; ++i) elementos[i] = nullptr;
    capacidad = capacidadInicial;
  }
}

template <class T>
VectorI<T>::~VectorI() {
  Vacia();
  delete[] elementos;
}

template <class T>
bool VectorI<T>::Existe(int i) const {
  int64_t j = static_cast<int64_t>(i) - indiceBase;
  return j >= 0 && j < numero && elementos[j] != nullptr;
}

template <class T>
T* VectorI<T>::Elemento(int i) const {
  int64_t j = static_cast<int64_t>(i) - indiceBase;
  if (j < 0 || j >= numero) LanzaError(kErrorIndiceFuera);
  if (elementos[j] == nullptr) LanzaError(kErrorElementoNulo);
  return elementos[j];
}

template <class T>
void VectorI<T>::Crece(int n) {
  // Shrinking through Crece would leave live items beyond the count.
  if (n <= 0) return;
  int64_t nuevo = static_cast<int64_t>(numero) + n;
  if (nuevo > capacidad) {
    if (incremento == 0) LanzaError(kErrorSinIncremento);
    int64_t nuevaCapacidad = nuevo + incremento + 2;
    if (nuevaCapacidad > INT32_MAX || nuevaCapacidad < nuevo) LanzaError(kErrorSinMemoria);
    T** nuevos = new (std::nothrow) T*[static_cast<std::size_t>(nuevaCapacidad)];
    if (nuevos == nullptr) LanzaError(kErrorSinMemoria);
    for (int64_t i = 0; i < nuevaCapacidad; ++i) nuevos[i] = nullptr;
    for (int32_t i = 0; i < numero; ++i) nuevos[i] = elementos[i];
    delete[] elementos;
    elementos = nuevos;
    capacidad = static_cast<int32_t>(nuevaCapacidad);
  }
  numero = static_cast<int32_t>(nuevo);
}

template <class T>
T* VectorI<T>::InsertaNuevo(int posicion, int codigoPosicion, int* slot) {
  int viejo = numero;
  Crece(1);
  int64_t p;
  if (posicion < 0) {
    p = viejo;
  } else {
    p = static_cast<int64_t>(posicion) - indiceBase;
    // Past the end would write outside the slots: refused like a position
    // before the start, leaving the same state.
    if (p < 0 || p > viejo) LanzaError(codigoPosicion);
  }
  for (int64_t i = viejo - 1; i >= p; --i) elementos[i + 1] = elementos[i];
  elementos[p] = nullptr;
  T* nuevo = new (std::nothrow) T();
  if (nuevo == nullptr) {
    // Close the gap again so that no slot below the count is left null.
    for (int64_t i = p; i < viejo; ++i) elementos[i] = elementos[i + 1];
    elementos[viejo] = nullptr;
    --numero;
    LanzaError(kErrorSinMemoria);
  }
  elementos[p] = nuevo;
  if (slot != nullptr) *slot = static_cast<int>(p);
  return nuevo;
}

template <class T>
T* VectorI<T>::AnadeNuevo(int posicion) {
  return InsertaNuevo(posicion, kErrorPosicionAnadeNuevo, nullptr);
}

template <class T>
void VectorI<T>::Vacia() {
  for (int32_t i = 0; i < numero; ++i) {
    if (propietario) delete elementos[i];
    elementos[i] = nullptr;
  }
  numero = 0;
}

template <class T>
int Vector<T>::Inserta(const T* modelo, int posicion) {
  if (modelo == nullptr) LanzaError(kErrorModeloNulo);
  int slot = 0;
  T* nuevo = this->InsertaNuevo(posicion, kErrorPosicionInserta, &slot);
  *nuevo = *modelo;
  return slot;
}

#endif

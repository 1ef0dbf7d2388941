// Vector and VectorI: growth by a fixed step, checked access, error codes and
// the state each error leaves.
#include "base/vector.h"

#include <gtest/gtest.h>

#include <climits>

#include "DString.h"

namespace {

// Counts live instances so that deletion by the container can be seen.
struct Contado {
  static int vivos;
  int valor = 0;
  Contado() { ++vivos; }
  Contado(const Contado& o) : valor(o.valor) { ++vivos; }
  Contado& operator=(const Contado& o) {
    valor = o.valor;
    return *this;
  }
  ~Contado() { --vivos; }
};
int Contado::vivos = 0;

template <class F>
int CodigoDe(F&& f) {
  try {
    f();
  } catch (const TXErrorVectoresDG& e) {
    return e.Codigo;
  }
  return 0;
}

TEST(Vector, GrowthByFixedStep) {
  struct Caso {
    int capacidad;
    int incremento;
    int anadidos;
    int capacidadEsperada;
  };
  const Caso casos[] = {
      {10, 10, 10, 10}, {10, 10, 11, 23}, {10, 10, 23, 23}, {10, 10, 24, 36},
      {0, 5, 0, 0},     {0, 5, 1, 8},     {-3, 5, 1, 8},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(testing::Message() << c.capacidad << "/" << c.incremento << " +" << c.anadidos);
    Vector<DString> v(c.capacidad, c.incremento);
    for (int i = 0; i < c.anadidos; ++i) v.AnadeNuevo()->Anade(i);
    EXPECT_EQ(v.Numero(), c.anadidos);
    EXPECT_EQ(v.Capacidad(), c.capacidadEsperada);
    for (int i = 0; i < c.anadidos; ++i) EXPECT_EQ(v.Elemento(i)->ValorEntero(), i);
  }
}

TEST(Vector, PositionsOfNewItems) {
  Vector<DString> v(10, 10);
  v.AnadeNuevo()->Asigna("a");
  v.AnadeNuevo()->Asigna("b");
  v.AnadeNuevo(0)->Asigna("new");
  v.AnadeNuevo(-2)->Asigna("end");
  v.AnadeNuevo(4)->Asigna("last");  // at the count: an append
  const char* esperado[] = {"new", "a", "b", "end", "last"};
  ASSERT_EQ(v.Numero(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(v.Elemento(i)->Texto(), esperado[i]);

  DString modelo("copy");
  EXPECT_EQ(v.Inserta(&modelo, 1), 1);
  EXPECT_EQ(v.Inserta(&modelo), 6);
  EXPECT_STREQ(v.Elemento(1)->Texto(), "copy");
  EXPECT_STREQ(v.Elemento(2)->Texto(), "a");
  EXPECT_NE(v.Elemento(1), &modelo);
  EXPECT_EQ(v.Numero(), 7);
}

TEST(Vector, IndexErrorsChangeNothing) {
  Vector<DString> v(10, 10);
  v.AnadeNuevo()->Asigna("a");
  v.AnadeNuevo()->Asigna("b");
  for (int i : {-1, 2, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(CodigoDe([&] { v.Elemento(i); }), 7);
    EXPECT_FALSE(v.Existe(i));
  }
  EXPECT_TRUE(v.Existe(0));
  EXPECT_TRUE(v.Existe(1));
  EXPECT_EQ(v.Numero(), 2);

  // A slot counted but never filled.
  v.Crece(1);
  EXPECT_EQ(v.Numero(), 3);
  EXPECT_FALSE(v.Existe(2));
  EXPECT_EQ(CodigoDe([&] { v.Elemento(2); }), 8);
  EXPECT_EQ(v.Numero(), 3);
}

TEST(Vector, ErrorCodesAndTheStateTheyLeave) {
  {
    SCOPED_TRACE("6: no growth allowed");
    Vector<DString> v(10, 0);
    for (int i = 0; i < 10; ++i) v.AnadeNuevo();
    EXPECT_EQ(CodigoDe([&] { v.AnadeNuevo(); }), 6);
    DString modelo("m");
    EXPECT_EQ(CodigoDe([&] { v.Inserta(&modelo); }), 6);
    EXPECT_EQ(v.Numero(), 10);
    EXPECT_EQ(v.Capacidad(), 10);
    EXPECT_TRUE(v.Existe(9));
  }
  {
    SCOPED_TRACE("16: null model");
    Vector<DString> v(10, 10);
    v.AnadeNuevo();
    EXPECT_EQ(CodigoDe([&] { v.Inserta(nullptr, 0); }), 16);
    EXPECT_EQ(v.Numero(), 1);
  }
  {
    SCOPED_TRACE("13 and 12: position past the end");
    Vector<DString> v(10, 10);
    v.AnadeNuevo()->Asigna("a");
    v.AnadeNuevo()->Asigna("b");
    EXPECT_EQ(CodigoDe([&] { v.AnadeNuevo(5); }), 13);
    // Like any bad position: the count has grown, the new slot is empty.
    EXPECT_EQ(v.Numero(), 3);
    EXPECT_FALSE(v.Existe(2));
    EXPECT_EQ(CodigoDe([&] { v.Elemento(2); }), 8);
    DString modelo("m");
    EXPECT_EQ(CodigoDe([&] { v.Inserta(&modelo, 9); }), 12);
    EXPECT_EQ(v.Numero(), 4);
    EXPECT_STREQ(v.Elemento(0)->Texto(), "a");
    EXPECT_STREQ(v.Elemento(1)->Texto(), "b");
  }
  {
    SCOPED_TRACE("15: slot count beyond 32 bits");
    Vector<DString> v(1, 10);
    v.AnadeNuevo();
    EXPECT_EQ(CodigoDe([&] { v.Crece(INT_MAX - 5); }), 15);
    EXPECT_EQ(v.Numero(), 1);
    EXPECT_EQ(v.Capacidad(), 1);
  }
}

TEST(Vector, OwnershipOnEmptyAndDestroy) {
  Contado::vivos = 0;
  {
    Vector<Contado> v(10, 10);
    for (int i = 0; i < 12; ++i) v.AnadeNuevo()->valor = i;
    EXPECT_EQ(Contado::vivos, 12);
    int capacidad = v.Capacidad();
    v.Vacia();
    EXPECT_EQ(Contado::vivos, 0);
    EXPECT_EQ(v.Numero(), 0);
    EXPECT_EQ(v.Capacidad(), capacidad);
    EXPECT_FALSE(v.Existe(0));
    Contado modelo;
    modelo.valor = 5;
    EXPECT_EQ(v.Inserta(&modelo), 0);
    EXPECT_EQ(v.Elemento(0)->valor, 5);
    EXPECT_EQ(Contado::vivos, 2);
  }
  EXPECT_EQ(Contado::vivos, 0);

  // A non-owning array leaves its items alone.
  Contado a;
  {
    VectorI<Contado> v(2, 2, false);
    v.AnadeNuevo()->valor = 1;
    Contado* item = v.Elemento(0);
    EXPECT_EQ(Contado::vivos, 2);
    v.Vacia();
    EXPECT_EQ(Contado::vivos, 2);
    delete item;
  }
  EXPECT_EQ(Contado::vivos, 1);
}

TEST(Vector, InsertaIsVirtual) {
  struct Registro : Vector<DString> {
    Registro() : Vector<DString>(2, 2) {}
    int llamadas = 0;
    int Inserta(const DString* modelo, int posicion) override {
      ++llamadas;
      return Vector<DString>::Inserta(modelo, posicion);
    }
  };
  Registro r;
  Vector<DString>& v = r;
  DString modelo("x");
  v.Inserta(&modelo, -1);
  EXPECT_EQ(r.llamadas, 1);
  EXPECT_EQ(r.IndiceBase(), 0);
}

}  // namespace

// DString block handling: room, header values, assignment, appending,
// formatting and comparison.
#include "DString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// Records the sizes of array allocations while enabled, so the block sizes
// (room + 16 new, room + 18 on growth) can be checked from the outside.
namespace {
bool gRegistrando = false;
std::vector<std::size_t>* gTamanos = nullptr;
}  // namespace

void* operator new[](std::size_t n) {
  if (gRegistrando && gTamanos != nullptr) {
    gRegistrando = false;
    gTamanos->push_back(n);
    gRegistrando = true;
  }
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

struct RegistroBloques {
  std::vector<std::size_t> tamanos;
  RegistroBloques() {
    gTamanos = &tamanos;
    gRegistrando = true;
  }
  ~RegistroBloques() {
    gRegistrando = false;
    gTamanos = nullptr;
  }
};

int32_t CampoCabecera(const DString& s, int offset) {
  int32_t v;
  std::memcpy(&v, s.Texto() + offset, sizeof v);
  return v;
}

bool TieneBloque(const DString& s) { return s.Capacidad() != 0; }

TEST(DStringBlock, EmptyInputsGiveNoBlock) {
  DString porDefecto;
  DString vacio("");
  DString nulo(static_cast<const char*>(nullptr));
  DString conBloque("abc");
  conBloque.Asigna("");
  DString copiaDeVacio(conBloque);
  for (const DString* s : {&porDefecto, &vacio, &nulo, &copiaDeVacio}) {
    EXPECT_FALSE(TieneBloque(*s));
    EXPECT_STREQ(s->Texto(), "");
    EXPECT_EQ(s->Longitud(), 0);
    EXPECT_TRUE(s->EstaVacio());
    EXPECT_EQ(s->Caracter(0), 0);
    EXPECT_EQ(s->PaginaCodigos(), 0);
  }
  EXPECT_TRUE(TieneBloque(conBloque));
}

TEST(DStringBlock, HeaderLayoutOfANewBlock) {
  RegistroBloques registro;
  DString s("abc");
  ASSERT_EQ(registro.tamanos.size(), 1u);
  EXPECT_EQ(registro.tamanos[0], 18u + 16u);
  EXPECT_EQ(CampoCabecera(s, -16), 0);   // PaginaCodigos
  EXPECT_EQ(CampoCabecera(s, -12), 1);   // Decimales
  EXPECT_EQ(CampoCabecera(s, -8), 18);   // Capacidad
  EXPECT_EQ(CampoCabecera(s, -4), -1);   // Auxiliar
  EXPECT_STREQ(s.Texto(), "abc");
}

TEST(DStringBlock, GrowthKeepsHeaderAndUsesEighteenBytesOfOverhead) {
  DString s("abc");
  s.PonDecimales(4);
  s.PonPaginaCodigos(1254);
  int32_t auxiliar = 77;
  std::memcpy(s.Texto() - 4, &auxiliar, sizeof auxiliar);
  RegistroBloques registro;
  s.Anade("01234567890123456789");
  EXPECT_EQ(s.Capacidad(), 48);
  ASSERT_EQ(registro.tamanos.size(), 1u);
  EXPECT_EQ(registro.tamanos[0], 48u + 18u);
  EXPECT_EQ(s.Decimales(), 4);
  EXPECT_EQ(s.PaginaCodigos(), 1254);
  EXPECT_EQ(s.Auxiliar(), 77);
  EXPECT_STREQ(s.Texto(), "abc01234567890123456789");
}

TEST(DStringBlock, RoomOfFirstBlocks) {
  struct Caso {
    const char* nombre;
    void (*hacer)(DString&);
    int capacidad;
  };
  const Caso casos[] = {
      {"PtrCaracter(0)", [](DString& s) { EXPECT_EQ(*s.PtrCaracter(0), 0); }, 17},
      {"PonDecimales(3)", [](DString& s) { s.PonDecimales(3); }, 16},
      {"Anade(char)", [](DString& s) { s.Anade('x'); }, 0 + 1 + 1 + 2 + 13},
      {"PideBuffer(5)", [](DString& s) { s.PideBuffer(5); }, 5 + 10 + 2 + 13},
      {"Asigna(abc)", [](DString& s) { s.Asigna("abc"); }, 4},
      {"Reserva(0,false)", [](DString& s) { s.Reserva(0, false); }, 1},
      {"Reserva(-1,true)", [](DString& s) { s.Reserva(-1, true); }, 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    DString s;
    c.hacer(s);
    EXPECT_EQ(s.Capacidad(), c.capacidad);
  }
}

TEST(DStringBlock, PonDecimalesOnNoBlockThenAppend) {
  DString s;
  s.PonDecimales(3);
  s.Anade(2.0);
  EXPECT_STREQ(s.Texto(), "2.000");
}

TEST(DStringBlock, CopiesStartWithDefaultHeader) {
  DString original("v=");
  original.PonDecimales(7);
  original.PonPaginaCodigos(1254);
  DString copia(original);
  EXPECT_EQ(copia.Decimales(), 1);
  EXPECT_EQ(copia.PaginaCodigos(), 0);
  EXPECT_EQ(copia.Auxiliar(), -1);
  copia.Anade(2.5);
  EXPECT_STREQ(copia.Texto(), "v=2.5");
}

TEST(DStringAssign, AssignmentKeepsBlockAndHeader) {
  DString s("abc");
  s.PonDecimales(5);
  int capacidad = s.Capacidad();
  const char* bloque = s.Texto();
  s.Asigna("");
  EXPECT_STREQ(s.Texto(), "");
  EXPECT_EQ(s.Texto(), bloque);
  EXPECT_EQ(s.Capacidad(), capacidad);
  EXPECT_EQ(s.Decimales(), 5);

  DString otro("12345678901234567890123456789012345678901234567890");
  s = otro;  // grows: header still carried over
  EXPECT_STREQ(s.Texto(), otro.Texto());
  EXPECT_EQ(s.Decimales(), 5);
  s = DString();
  EXPECT_STREQ(s.Texto(), "");
  EXPECT_EQ(s.Decimales(), 5);

  DString sinBloque;
  sinBloque.Asigna(static_cast<const char*>(nullptr));
  sinBloque.Asigna(DString());
  EXPECT_FALSE(TieneBloque(sinBloque));
}

TEST(DStringAssign, AssignPrefix) {
  struct Caso {
    const char* origen;
    int n;
    const char* esperado;
  };
  const Caso casos[] = {
      {"abcdef", 3, "abc"}, {"ab", 5, "ab"}, {"abc", 0, ""}, {"abc", -4, ""}, {nullptr, 2, ""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::to_string(c.n));
    DString s("previous text");
    s.Asigna(c.origen, c.n);
    EXPECT_STREQ(s.Texto(), c.esperado);
  }
}

TEST(DStringAssign, SourcesInsideOwnTextAreSafe) {
  DString s("abcdefghijklmno");  // room 30: the next steps force growth
  s.Anade(s.Texto() + 1);
  EXPECT_STREQ(s.Texto(), "abcdefghijklmnobcdefghijklmno");
  s.Anade(s);
  EXPECT_STREQ(s.Texto(), "abcdefghijklmnobcdefghijklmnoabcdefghijklmnobcdefghijklmno");
  s.Asigna(s.Texto() + 50);
  EXPECT_STREQ(s.Texto(), "hijklmno");
  s.Asigna(s.Texto() + 1, 2);
  EXPECT_STREQ(s.Texto(), "ij");
  s.Asigna(s);
  EXPECT_STREQ(s.Texto(), "ij");
}

TEST(DStringChars, CharacterAccess) {
  DString s("abc");
  EXPECT_EQ(s.Caracter(-1), 0);
  EXPECT_EQ(s.Caracter(3), 0);
  EXPECT_EQ(s.Caracter(2), 'c');
  *s.PtrCaracter(1) = 'X';
  EXPECT_STREQ(s.Texto(), "aXc");
}

TEST(DStringChars, NegativeIndexThrowsAndLeavesText) {
  DString s("abc");
  const char* bloque = s.Texto();
  try {
    s.PtrCaracter(-1);
    FAIL() << "no exception";
  } catch (const char* mensaje) {
    EXPECT_STREQ(mensaje, "Error DString n<0");
  }
  EXPECT_STREQ(s.Texto(), "abc");
  EXPECT_EQ(s.Texto(), bloque);

  DString sinBloque;
  EXPECT_THROW(sinBloque.PtrCaracter(-5), const char*);
  EXPECT_FALSE(TieneBloque(sinBloque));
}

TEST(DStringAppend, IntegersAndChars) {
  struct Caso {
    int v;
    const char* esperado;
  };
  const Caso casos[] = {
      {-42, "x-42"}, {0, "x0"}, {7, "x7"}, {INT_MAX, "x2147483647"}, {INT_MIN, "x-2147483648"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.esperado);
    DString s("x");
    s.Anade(c.v);
    EXPECT_STREQ(s.Texto(), c.esperado);
  }
  DString s("ab");
  s.Anade('\0').Anade('c').Anade(DString("de")).Anade(static_cast<const char*>(nullptr));
  EXPECT_STREQ(s.Texto(), "abcde");
}

TEST(DStringAppend, RealsFollowDecimales) {
  struct Caso {
    int decimales;
    double v;
    const char* esperado;
  };
  const Caso casos[] = {
      {1, 3.14159, "3.1"},       {8, 3.14159, "3.14159000"}, {-1, 3.14159, "3.141590"},
      {0, 3.14159, "3"},         {7, -0.5, "-0.5000000"},    {2, 1e20, "100000000000000000000.00"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.esperado);
    DString s;
    s.PonDecimales(c.decimales);
    s.Anade(c.v);
    EXPECT_STREQ(s.Texto(), c.esperado);
  }
  DString sinBloque;
  sinBloque.Anade(2.25);
  EXPECT_STREQ(sinBloque.Texto(), "2.2");
}

TEST(DStringFormat, ReplacesTextAndReturnsCount) {
  DString s("old");
  s.PonDecimales(6);
  EXPECT_EQ(s.Formatea("%d-%s", 12, "ab"), 5);
  EXPECT_STREQ(s.Texto(), "12-ab");
  EXPECT_EQ(s.Decimales(), 6);
  EXPECT_EQ(s.Formatea("%s", ""), 0);
  EXPECT_STREQ(s.Texto(), "");
  // Own text as an argument: formatted before the text is replaced.
  s.Asigna("abc");
  s.Formatea("[%s|%s]", s.Texto(), s.Texto());
  EXPECT_STREQ(s.Texto(), "[abc|abc]");
}

TEST(DStringFormat, LongTextsAreNotCutNorOverflow) {
  for (std::size_t largo : {9998u, 9999u, 10000u, 25000u}) {
    SCOPED_TRACE(largo);
    std::string largoTexto(largo, 'z');
    DString s;
    EXPECT_EQ(s.Formatea("%s", largoTexto.c_str()), static_cast<int>(largo));
    EXPECT_EQ(s.Longitud(), static_cast<int>(largo));
    EXPECT_EQ(largoTexto, s.Texto());
  }
  DString s;
  s.PonDecimales(2000);
  s.Anade(1.0);
  EXPECT_EQ(s.Longitud(), 2002);
}

TEST(DStringCompare, EmptyAndNullOperands) {
  DString vacio;
  DString vacioConBloque("x");
  vacioConBloque.Asigna("");
  DString a("a");
  struct Caso {
    const DString* s;
    const char* otro;
    int compara;
    int comparaN4;
  };
  const Caso casos[] = {
      {&vacio, "", 0, 1},        {&vacio, nullptr, 0, 0},         {&vacio, "b", -1, 1},
      {&vacioConBloque, "", 0, 1}, {&vacioConBloque, nullptr, 0, 0}, {&a, nullptr, 1, 1},
      {&a, "", 1, 1},            {&a, "a", 0, 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.s->Texto()) + " vs " + (c.otro ? c.otro : "null"));
    EXPECT_EQ(c.s->Compara(c.otro), c.compara);
    int n = c.s->ComparaN(c.otro, 4);
    EXPECT_EQ((n > 0) - (n < 0), c.comparaN4);
    EXPECT_EQ(c.s->EsIgual(c.otro), c.compara == 0);
    EXPECT_EQ(c.s->EsDistinto(c.otro), c.compara != 0);
  }
  EXPECT_LT(DString("abc").Compara("abd"), 0);
  EXPECT_GT(DString("abd").Compara("abc"), 0);
  EXPECT_EQ(DString("PROJCS[x").ComparaN("PROJ", 4), 0);
  EXPECT_NE(DString("PRO").ComparaN("PROJ", 4), 0);
  EXPECT_TRUE(vacio.EsIgual(vacioConBloque));
  EXPECT_TRUE(a.EsIgual(DString("a")));
  EXPECT_FALSE(a.EsIgual(vacio));
}

}  // namespace

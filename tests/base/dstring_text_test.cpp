// DString text operations: search, cut, split, trim, replace, numbers and
// accent folding.
#include "DString.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/vector.h"

namespace {

std::vector<std::string> Partes(const Vector<DString>& v) {
  std::vector<std::string> r;
  for (int i = 0; i < v.Numero(); ++i) r.push_back(v.Elemento(i)->Texto());
  return r;
}

TEST(DStringSearch, CharSearch) {
  DString sinBloque;
  EXPECT_EQ(sinBloque.Busca('x'), -1);
  EXPECT_EQ(sinBloque.Busca('\0'), 0);
  EXPECT_EQ(sinBloque.BuscaUltimo('x'), -1);
  EXPECT_EQ(sinBloque.Busca("x"), -1);
  DString s("abcabc");
  EXPECT_EQ(s.Busca('\0'), 6);
  EXPECT_EQ(s.Busca('b'), 1);
  EXPECT_EQ(s.BuscaUltimo('b'), 4);
  EXPECT_EQ(s.BuscaUltimo('\0'), 6);
  EXPECT_EQ(s.Busca('z'), -1);
  EXPECT_EQ(s.Busca("ca"), 2);
  EXPECT_EQ(s.Busca("cb"), -1);
  EXPECT_EQ(s.Busca(static_cast<const char*>(nullptr)), -1);
}

TEST(DStringSearch, SearchWithOptions) {
  struct Caso {
    const char* texto;
    const char* patron;
    int desde;
    bool palabra, mayusculas, acentos;
    int esperado;
  };
  const Caso casos[] = {
      {"xaby", "AB", 0, false, true, false, 1},
      {"xaby", "ab", 0, false, true, false, -1},
      {"caf\xE9", "e", 0, false, false, true, 3},
      {"CAF\xC9", "E", 0, false, true, true, 3},
      {"caf\xE9", "E", 0, false, true, true, 3},  // folded then upper-cased
      {"X1 X10", "X1", 0, true, false, false, 0},
      {"X10 X1", "X1", 0, true, false, false, 4},
      {"X10", "X1", 0, true, false, false, -1},
      {"AX1", "X1", 0, true, false, false, -1},
      {"X1_", "X1", 0, true, false, false, -1},
      {"X1-2", "X1", 0, true, false, false, 0},
      {"\xC9X1", "X1", 0, true, false, false, 1},  // an accented letter is no word character
      {"abab", "ab", 1, false, false, false, 2},
      {"abab", "ab", 3, false, false, false, -1},
      {"abab", "ab", 4, false, false, false, -1},
      {"abab", "AB", 1, false, true, false, 2},
      {"abab", "ab", -3, false, false, false, 0},
      {"abab", "ab", 99, false, true, false, -1},
      {"ab", "abc", 0, false, true, false, -1},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.texto) + " / " + c.patron);
    DString s(c.texto);
    EXPECT_EQ(s.Busca(c.patron, c.desde, c.palabra, c.mayusculas, c.acentos), c.esperado);
  }
  EXPECT_EQ(DString().Busca("a", 0, false, true, false), -1);
  EXPECT_EQ(DString("a").Busca(nullptr, 0, true, true, true), -1);
}

TEST(DStringSearch, AccentSearchFollowsTheStringsCodePage) {
  DString s("ba\xFE");
  EXPECT_EQ(s.Busca("bas", 0, false, false, true), -1);
  s.PonPaginaCodigos(1254);
  EXPECT_EQ(s.Busca("bas", 0, false, false, true), 0);
  EXPECT_EQ(s.Busca("BAS", 0, false, true, true), 0);
}

TEST(DStringSearch, AccentFoldingTable) {
  struct Caso {
    unsigned char c;
    char normal;
    char turca;
  };
  const Caso casos[] = {
      {0x27, ' ', ' '},   {0x2D, ' ', ' '},   {0x5F, ' ', ' '},   {'a', 'a', 'a'},
      {0x8A, 'S', 'S'},   {0x8E, 'Z', 'Z'},   {0x9A, 0, 0},       {0x9E, 0, 0},
      {0x9F, 0, 0},       {0xBF, 0, 0},       {0xC0, 'A', 'A'},   {0xC5, 'A', 'A'},
      {0xC6, 0, 0},       {0xC7, 'C', 'C'},   {0xC8, 'E', 'E'},   {0xCB, 'E', 'E'},
      {0xCC, 'I', 'I'},   {0xCF, 'I', 'I'},   {0xD0, 0, 0},       {0xD1, 'N', 'N'},
      {0xD2, 'O', 'O'},   {0xD6, 'O', 'O'},   {0xD7, 0, 0},       {0xD8, 0, 0},
      {0xD9, 'U', 'U'},   {0xDC, 'U', 'U'},   {0xDD, 'Y', 'Y'},   {0xDE, 0, 'S'},
      {0xDF, 0, 0},       {0xE0, 'a', 'a'},   {0xE5, 'a', 'a'},   {0xE6, 0, 0},
      {0xE7, 'c', 'c'},   {0xE8, 'e', 'e'},   {0xEB, 'e', 'e'},   {0xEC, 'i', 'i'},
      {0xEF, 'i', 'i'},   {0xF0, 0, 0},       {0xF1, 'n', 'n'},   {0xF2, 'o', 'o'},
      {0xF6, 'o', 'o'},   {0xF7, 0, 0},       {0xF8, 0, 0},       {0xF9, 'u', 'u'},
      {0xFC, 'u', 'u'},   {0xFD, 'y', 'y'},   {0xFE, 0, 's'},     {0xFF, 0, 0},
  };
  // 0 in the table means "unchanged".
  for (const Caso& c : casos) {
    SCOPED_TRACE(testing::Message() << std::hex << static_cast<int>(c.c));
    char byte = static_cast<char>(c.c);
    EXPECT_EQ(QuitaAcento(byte, 0), c.normal ? c.normal : byte);
    EXPECT_EQ(QuitaAcento(byte, 1252), c.normal ? c.normal : byte);
    EXPECT_EQ(QuitaAcento(byte, 1254), c.turca ? c.turca : byte);
  }
}

TEST(DStringSearch, CharacterClasses) {
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    bool digito = b >= '0' && b <= '9';
    bool letra = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
    EXPECT_EQ(EsDigito(c), digito) << b;
    EXPECT_EQ(EsCaracterPalabra(c), digito || letra || b == '_') << b;
  }
  EXPECT_EQ(Minimo(-3, 2), -3);
  EXPECT_EQ(Minimo(2, 2), 2);
  EXPECT_EQ(Maximo(-3, 2), 2);
  EXPECT_EQ(Maximo(5, -5), 5);
}

TEST(DStringCut, CortaEnAndInicioResto) {
  DString s("ab]cd");
  EXPECT_EQ(s.CortaEn(']'), 2);
  EXPECT_STREQ(s.Texto(), "ab");
  DString t("abcd");
  EXPECT_EQ(t.CortaEn(']'), -1);
  EXPECT_STREQ(t.Texto(), "abcd");
  EXPECT_EQ(DString().CortaEn(']'), -1);

  struct Caso {
    const char* texto;
    int esperado;
  };
  const Caso casos[] = {
      {"abc def", 4},   {"  abc", 2},      {"\"a b\" c", 6}, {"abc", -1},
      {"abc   ", -1},   {"a \t\tb", 4},    {"\"a b c", -1}, {"", -1},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.texto);
    EXPECT_EQ(DString(c.texto).InicioResto(" \t"), c.esperado);
  }
  EXPECT_EQ(DString().InicioResto(" "), -1);
}

TEST(DStringSplit, DivideExamples) {
  struct Caso {
    const char* texto;
    const char* separadores;
    int maxPartes;
    bool conVacios;
    std::vector<std::string> partes;
  };
  const std::vector<Caso> casos = {
      {"a,b,c", ",", -1, false, {"a", "b", "c"}},
      {"a,,b", ",", -1, false, {"a", "b"}},
      {",a,b", ",", -1, false, {",a", "b"}},
      {"a,b,", ",", -1, false, {"a", "b"}},
      {"a,,b", ",", -1, true, {"a", "", "b"}},
      {",a", ",", -1, true, {"", "a"}},
      {"a,b,", ",", -1, true, {"a", "b"}},
      {"a,b,c", ",", 2, false, {"a", "b,c"}},
      {"a,b,c", ",", 1, false, {"a,b,c"}},
      {"a,b", ",", 5, false, {"a", "b"}},
      {"a,b,,c,", ",", 2, false, {"a", "b,,c,"}},
      {"x1,y1\r\nx2,y2", "\r\n", -1, false, {"x1,y1", "x2,y2"}},
      {"TM 10.5,0 WGS84", " ,", -1, false, {"TM", "10.5", "0", "WGS84"}},
      {"", ",", -1, false, {}},
      {",", ",", -1, false, {","}},
      {"abc", "", -1, false, {"abc"}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(testing::Message() << c.texto << " max " << c.maxPartes << " vacios " << c.conVacios);
    Vector<DString> partes(10, 10);
    partes.AnadeNuevo()->Asigna("stale");
    DString s(c.texto);
    EXPECT_TRUE(s.Divide(c.separadores, partes, c.maxPartes, c.conVacios));
    EXPECT_EQ(Partes(partes), c.partes);
    EXPECT_STREQ(s.Texto(), c.texto);
  }
}

TEST(DStringSplit, DivideWithNoPartsAllowedThrows) {
  Vector<DString> partes(10, 10);
  try {
    DString("a,b").Divide(",", partes, 0, false);
    FAIL() << "no exception";
  } catch (const TXErrorVectoresDG& e) {
    EXPECT_EQ(e.Codigo, 7);
  }
  EXPECT_TRUE(DString("").Divide(",", partes, 0, false));
  EXPECT_EQ(partes.Numero(), 0);
}

TEST(DStringSplit, DivideAStringHeldInItsOwnParts) {
  Vector<DString> partes(10, 10);
  partes.AnadeNuevo()->Asigna("p,q,r");
  partes.Elemento(0)->Divide(",", partes, -1, false);
  EXPECT_EQ(Partes(partes), (std::vector<std::string>{"p", "q", "r"}));
}

TEST(DStringSplit, DivideEn) {
  struct Caso {
    const char* texto;
    bool resultado;
    const char* izquierda;
    const char* derecha;
  };
  const Caso casos[] = {
      {"=x", false, "L", "R"},   {"kx", false, "L", "R"},      {"k=", true, "k", ""},
      {"a=b=c", true, "a", "b=c"}, {"key=value", true, "key", "value"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.texto);
    DString izquierda("L"), derecha("R");
    EXPECT_EQ(DString(c.texto).DivideClaveValor(izquierda, derecha), c.resultado);
    EXPECT_STREQ(izquierda.Texto(), c.izquierda);
    EXPECT_STREQ(derecha.Texto(), c.derecha);
  }
  DString s("a:b"), otra;
  EXPECT_TRUE(s.DivideEn(otra, s, ':'));
  EXPECT_STREQ(otra.Texto(), "a");
  EXPECT_STREQ(s.Texto(), "b");
  DString t("a:b");
  EXPECT_TRUE(t.DivideEn(t, otra, ':'));
  EXPECT_STREQ(t.Texto(), "a");
  EXPECT_STREQ(otra.Texto(), "b");
}

TEST(DStringEdit, QuitaBlancos) {
  struct Caso {
    const char* texto;
    const char* esperado;
  };
  const Caso casos[] = {
      {" \t a b \t ", "a b"}, {"\r\nx", "\r\nx"}, {"   ", ""}, {"x", "x"},
      {"", ""},               {"\tx\r\n ", "x\r\n"}, {"a  ", "a"}, {"  a", "a"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.texto);
    DString s(c.texto);
    s.QuitaBlancos();
    EXPECT_STREQ(s.Texto(), c.esperado);
  }
  DString sinBloque;
  sinBloque.QuitaBlancos();
  EXPECT_STREQ(sinBloque.Texto(), "");
}

TEST(DStringEdit, Replacements) {
  DString s("Transverse_Mercator_x");
  EXPECT_EQ(s.SustituyeCaracter('_', ' '), 2);
  EXPECT_STREQ(s.Texto(), "Transverse Mercator x");
  EXPECT_EQ(s.SustituyeCaracter('_', ' '), 0);
  EXPECT_EQ(DString().SustituyeCaracter('a', 'b'), 0);

  struct Caso {
    const char* texto;
    const char* buscado;
    const char* nuevo;
    bool palabra;
    int cuenta;
    const char* esperado;
  };
  const Caso casos[] = {
      {"aaa", "aa", "b", false, 1, "ba"},
      {"a b c", " ", "_", false, 2, "a_b_c"},
      {"abc", "b", "b", false, 0, "abc"},
      {"abab", "ab", "abab", false, 2, "abababab"},
      {"x", "y", "z", false, 0, "x"},
      {"ab ab abc", "ab", "X", true, 2, "X X abc"},
      {"a-b", "-", "", false, 1, "ab"},
      {"abc", "", "x", false, 0, "abc"},
      {"abc", "b", nullptr, false, 1, "ac"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.texto) + " / " + c.buscado);
    DString t(c.texto);
    EXPECT_EQ(t.Sustituye(c.buscado, c.nuevo, c.palabra), c.cuenta);
    EXPECT_STREQ(t.Texto(), c.esperado);
  }
  DString propio("abcabc");
  // The pattern points into the text it edits.
  EXPECT_EQ(propio.Sustituye(propio.Texto() + 4, "X", false), 2);
  EXPECT_STREQ(propio.Texto(), "aXaX");
}

TEST(DStringNumbers, ValorEntero) {
  struct Caso {
    const char* texto;
    int valor;
  };
  const Caso casos[] = {
      {"0x1A", 26},      {"0X1A", 0},          {"-7", -7},           {"12abc", 12},
      {"", 0},           {"0x", 0},            {"0xg", 0},           {"0xFFFFFFFF", -1},
      {"0x7fffffff", INT32_MAX}, {"0x80000000", INT32_MIN}, {"0x123456789", -1},
      {"  42", 42},      {"+5", 5},            {"abc", 0},           {"99999999999", INT32_MAX},
      {"-99999999999", INT32_MIN},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.texto);
    EXPECT_EQ(DString(c.texto).ValorEntero(), c.valor);
  }
  EXPECT_EQ(DString().ValorEntero(), 0);
}

TEST(DStringNumbers, LeeRealTable) {
  struct Caso {
    const char* texto;
    bool admiteComa;
    double valor;
  };
  const Caso casos[] = {
      {"12.5", false, 12.5},    {" -0.25", false, -0.25}, {"1,5", false, 1.0},
      {"1,5", true, 1.5},       {"2,000.5", false, 2.5},  {"2,000.5", true, 2.0},
      {".5", false, 0.5},       {"7", false, 7.0},        {"12 m.5", false, 12.5},
      {"1e3", false, 1.0},      {"", false, 0.0},         {"-3", false, -3.0},
      {"3000000000.5", false, 3000000000.5},              {"-12.75x9", false, -12.75},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.texto);
    EXPECT_DOUBLE_EQ(LeeReal(c.texto, c.admiteComa), c.valor);
    EXPECT_DOUBLE_EQ(DString(c.texto).ValorReal(c.admiteComa), c.valor);
  }
  EXPECT_EQ(DString().ValorReal(true), 0.0);
  // A very long fraction stays finite.
  std::string largo = "1." + std::string(400, '9');
  double v = LeeReal(largo.c_str(), false);
  EXPECT_TRUE(std::isfinite(v));
  EXPECT_NEAR(v, 2.0, 1e-12);
}

}  // namespace

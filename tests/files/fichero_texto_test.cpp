#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/fichero_itv.h"
#include "files_test_util.h"
#include "tiff_fixture.h"

namespace {

using files_test::WriteText;

struct Registro {
  std::int32_t maximo;
  std::string texto;
  std::int32_t linea;
};

struct CasoRegistros {
  const char* nombre;
  std::string contenido;
  std::vector<Registro> registros;
};

const std::vector<CasoRegistros>& Casos() {
  static const std::vector<CasoRegistros> casos = {
      {"crlf_lines", "  EPSG=4326  \r\nPROJCS[\"x\",GEOGCS[\"y\"]]\r\n",
       {{-1, "EPSG=4326", 0}, {-1, "PROJCS[\"x\",GEOGCS[\"y\"]]", 1}, {-1, "", 2}, {-1, "", 2}}},
      {"nothing_but_blanks_and_comments", "\n;comment\n \t \n\r\n;x", {{-1, "", 4}}},
      {"comment_after_text", "abc ;comment\nnext\n", {{-1, "abc", 0}, {-1, "next", 1}, {-1, "", 2}}},
      {"void", "VOID\nnext\nvoid\n", {{-1, "", 0}, {-1, "next", 1}, {-1, "void", 2}}},
      {"line_ends", "a\nb\r\nc\rd\n\re\n", {{-1, "a", 0}, {-1, "b", 1}, {-1, "c", 2}, {-1, "d", 3}, {-1, "e", 5}}},
      {"byte_ff_in_line", std::string("ab\xFF" "cd\n"), {{-1, "ab", 0}, {-1, "cd", 0}, {-1, "", 1}}},
      {"byte_00_in_line", std::string("ab\0cd\n", 6), {{-1, "ab", 0}, {-1, "cd", 0}, {-1, "", 1}}},
      {"maximo_6", "123456789\nnext\n", {{6, "12345", 0}, {-1, "next", 1}}},
      {"maximo_1", "abc\ndef\n", {{1, "", 2}}},
      {"no_final_line_end", "abc\r\ndef", {{-1, "abc", 0}, {-1, "def", 1}, {-1, "", 1}}},
      {"one_character", "x", {{-1, "x", 0}, {-1, "", 0}}},
      {"trailing_blanks_and_tabs", " \ta b \t \nc\n", {{-1, "a b", 0}, {-1, "c", 1}}},
      {"comment_at_end_without_line_end", "a\n;c", {{-1, "a", 0}, {-1, "", 1}}},
  };
  return casos;
}

// The reader gives the same records in stream mode, in direct mode and
// through the read window.
class LeeRegistroTest : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(LeeRegistroTest, Cases) {
  fixture::TempDir dir;
  for (const CasoRegistros& caso : Casos()) {
    SCOPED_TRACE(caso.nombre);
    const std::string path = dir.Path(caso.nombre);
    WriteText(path, caso.contenido);
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(path.c_str(), GetParam()));
    for (std::size_t i = 0; i < caso.registros.size(); ++i) {
      SCOPED_TRACE(i);
      DString registro("stale");
      EXPECT_EQ(f.LeeRegistro(registro, caso.registros[i].maximo), caso.registros[i].linea);
      EXPECT_STREQ(registro.Texto(), caso.registros[i].texto.c_str());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, LeeRegistroTest,
                         ::testing::Values(FITV_LECTURA | FITV_TEXTO, FITV_LECTURA | FITV_TEXTO | FITV_DIRECTO,
                                           FITV_LECTURA | FITV_TEXTO | FITV_BUFFER));

TEST(LeeRegistro, LongLineIsCutAtTheDefaultLimit) {
  fixture::TempDir dir;
  WriteText(dir.Path("f"), std::string(25000, 'w') + "\nnext\n");
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(dir.Path("f").c_str(), FITV_LECTURA | FITV_TEXTO));
  DString r;
  EXPECT_EQ(f.LeeRegistro(r), 0);
  EXPECT_EQ(r.Longitud(), 19999);
  EXPECT_EQ(f.LeeRegistro(r), 1);
  EXPECT_STREQ(r.Texto(), "next");
}

// Stream reading has a fast path of its own; a derived class's characters
// must still be the ones records are made of.
class ShoutingFile : public TFicheroITV {
 public:
  char LeeCaracter() override {
    const char c = TFicheroITV::LeeCaracter();
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
};

TEST(LeeRegistro, RecordsComeFromADerivedClassCharacters) {
  fixture::TempDir dir;
  WriteText(dir.Path("f"), "epsg=4326\nlast");
  for (std::int32_t modo : {FITV_LECTURA | FITV_TEXTO, FITV_LECTURA | FITV_TEXTO | FITV_DIRECTO}) {
    SCOPED_TRACE(modo);
    ShoutingFile f;
    ASSERT_TRUE(f.Abre(dir.Path("f").c_str(), modo));
    DString r;
    EXPECT_EQ(f.LeeRegistro(r), 0);
    EXPECT_STREQ(r.Texto(), "EPSG=4326");
    EXPECT_EQ(f.LeeRegistro(r), 1);
    EXPECT_STREQ(r.Texto(), "LAST");
    EXPECT_EQ(f.LeeRegistro(r), 1);
    EXPECT_STREQ(r.Texto(), "");
  }
}

struct CasoCampos {
  const char* nombre;
  std::string contenido;
  std::vector<std::string> campos;  // successive get_dato_texto results
  std::string siguiente;            // the record read after them
  std::int32_t lineaSiguiente;
};

class GetDatoTextoTest : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(GetDatoTextoTest, Cases) {
  const std::vector<CasoCampos> casos = {
      {"blanks", "12  34\r\n56\r\n", {"12  ", "34"}, "56", 1},
      {"single_field", "abc\nz\n", {"abc"}, "z", 1},
      {"quotes", "\"a b\" c\nz\n", {"\"a b\" ", "c"}, "z", 1},
      {"rest_not_glued_to_next_line", "12 34\nxyz\n", {"12 ", "34", "xyz"}, "", 2},
      {"rest_at_end_of_file", "12 34", {"12 ", "34"}, "", 0},
      {"rest_before_a_zero_byte", std::string("1 2\0" "3\n", 6), {"1 ", "2", "3"}, "", 1},
      {"three_fields_cr_only", "a b c\rq\r", {"a ", "b ", "c"}, "q", 1},
  };
  fixture::TempDir dir;
  for (const CasoCampos& caso : casos) {
    SCOPED_TRACE(caso.nombre);
    const std::string path = dir.Path(caso.nombre);
    WriteText(path, caso.contenido);
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(path.c_str(), GetParam()));
    for (const std::string& esperado : caso.campos) {
      DString campo;
      f.get_dato_texto(campo);
      EXPECT_STREQ(campo.Texto(), esperado.c_str());
    }
    DString registro;
    EXPECT_EQ(f.LeeRegistro(registro), caso.lineaSiguiente);
    EXPECT_STREQ(registro.Texto(), caso.siguiente.c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, GetDatoTextoTest,
                         ::testing::Values(FITV_LECTURA | FITV_TEXTO, FITV_LECTURA | FITV_TEXTO | FITV_DIRECTO));

TEST(GetDatoTexto, NeedsATextFileOpenForReading) {
  fixture::TempDir dir;
  WriteText(dir.Path("f"), "1 2\n");
  for (std::int32_t modo : {FITV_LECTURA, FITV_LECTURA | FITV_BINARIO, FITV_ESCRITURA | FITV_TEXTO}) {
    SCOPED_TRACE(modo);
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(dir.Path(modo & FITV_ESCRITURA ? "w" : "f").c_str(), modo));
    DString campo("keep");
    try {
      f.get_dato_texto(campo);
      ADD_FAILURE() << "no exception";
    } catch (const char* e) {
      EXPECT_STREQ(e, "Error en get_dato_texto");
    }
    EXPECT_STREQ(campo.Texto(), "keep");
  }
}

TEST(DevuelveTexto, PushedTextComesFirstAndAnotherOpenDiscardsIt) {
  fixture::TempDir dir;
  WriteText(dir.Path("a"), "1 2 3\n");
  WriteText(dir.Path("b"), "z\n");
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(dir.Path("a").c_str(), FITV_LECTURA | FITV_TEXTO));
  f.DevuelveTexto("cd");
  f.DevuelveTexto("ab");
  EXPECT_EQ(f.SiguienteCaracter(), 'a');
  EXPECT_EQ(f.SiguienteCaracter(), 'b');
  EXPECT_EQ(f.SiguienteCaracter(), 'c');
  EXPECT_EQ(f.SiguienteCaracter(), 'd');
  EXPECT_EQ(f.SiguienteCaracter(), '1');

  DString campo;
  f.get_dato_texto(campo);  // "3" pushed back
  EXPECT_STREQ(campo.Texto(), "2 ");
  f.Cierra();
  ASSERT_TRUE(f.Abre(dir.Path("b").c_str(), FITV_LECTURA | FITV_TEXTO));
  f.get_dato_texto(campo);
  EXPECT_STREQ(campo.Texto(), "z");
}

TEST(LeeEntero, TextAndBinaryForms) {
  fixture::TempDir dir;
  WriteText(dir.Path("t"), "0x1F 42\n-7\n\n");
  TFicheroITV t;
  ASSERT_TRUE(t.Abre(dir.Path("t").c_str(), FITV_LECTURA | FITV_TEXTO));
  std::int32_t a = 0, b = 0, c = 0, d = 5;
  t.LeeEntero(a).LeeEntero(b).LeeEntero(c).LeeEntero(d);
  EXPECT_EQ(a, 31);
  EXPECT_EQ(b, 42);
  EXPECT_EQ(c, -7);
  EXPECT_EQ(d, 0);  // no field left: an empty field reads as 0

  WriteText(dir.Path("b"), std::string("\x2A\x00\x00\x00\xFF\xFF\xFF\xFF\x01\x02", 10));
  TFicheroITV bin;
  ASSERT_TRUE(bin.Abre(dir.Path("b").c_str(), FITV_LECTURA | FITV_BINARIO));
  std::int32_t x = 0, y = 0, z = 99;
  bin.LeeEntero(x).LeeEntero(y).LeeEntero(z);
  EXPECT_EQ(x, 42);
  EXPECT_EQ(y, -1);
  EXPECT_EQ(z, 99);  // only two bytes were left

  TFicheroITV neither;
  ASSERT_TRUE(neither.Abre(dir.Path("b").c_str(), FITV_LECTURA));
  std::int32_t w = 3;
  neither.LeeEntero(w);
  EXPECT_EQ(w, 3);
}

TEST(LeeEntero, HeaderIsReadAtOpen) {
  fixture::TempDir dir;
  WriteText(dir.Path("t"), "0x10\nabc\n");
  TFicheroITV t;
  ASSERT_TRUE(t.Abre(dir.Path("t").c_str(), FITV_LECTURA | FITV_TEXTO | FITV_CABECERA));
  EXPECT_EQ(t.ValorCabecera(), 16);
  EXPECT_EQ(t.Lineas(), 0);
  DString r;
  t.LeeRegistro(r);
  EXPECT_STREQ(r.Texto(), "abc");

  WriteText(dir.Path("b"), std::string("\x07\x01\x00\x00rest", 8));
  TFicheroITV b;
  ASSERT_TRUE(b.Abre(dir.Path("b").c_str(), FITV_LECTURA | FITV_BINARIO | FITV_CABECERA | FITV_BUFFER));
  EXPECT_EQ(b.ValorCabecera(), 0x107);
  char buf[4];
  ASSERT_TRUE(b.Lee(buf, 4));
  EXPECT_EQ(std::string(buf, 4), "rest");
}

}  // namespace

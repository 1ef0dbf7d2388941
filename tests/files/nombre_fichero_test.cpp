#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "files/nombre_fichero.h"
#include "files_test_util.h"
#include "platform/process_info.h"
#include "tiff_fixture.h"

namespace {

struct Par {
  const char* entrada;
  const char* esperado;
};

TEST(NombreArchivo, TakesBothSeparators) {
  for (const Par& p : std::vector<Par>{{"C:\\maps/wkt.dat", "wkt.dat"},
                                       {"/opt/maps\\wkt.dat", "wkt.dat"},
                                       {"wkt.dat", "wkt.dat"},
                                       {"C:\\maps\\", ""},
                                       {"/opt/maps/", ""},
                                       {"", ""}}) {
    SCOPED_TRACE(p.entrada);
    const DString nombre(p.entrada);
    EXPECT_STREQ(NombreArchivo(nombre), p.esperado);
  }
  const DString nombre("/a/b.txt");
  EXPECT_EQ(NombreArchivo(nombre), nombre.Texto() + 3);  // points into the argument
}

TEST(Directorio, UsesThePlatformSeparator) {
#ifdef _WIN32
  const std::vector<Par> casos = {{"C:\\prog\\app.exe", "C:\\prog"},
                                  {"C:/prog/app.exe", ""},
                                  {"C:\\app.exe", "C:"},
                                  {"app.exe", ""}};
#else
  const std::vector<Par> casos = {{"/opt/host/bin/host", "/opt/host/bin"},
                                  {"C:\\prog\\app.exe", ""},
                                  {"/host", "/"},
                                  {"bin/host", "bin"},
                                  {"host", ""},
                                  {"", ""}};
#endif
  for (const Par& p : casos) {
    SCOPED_TRACE(p.entrada);
    EXPECT_STREQ(Directorio(TStringNomFitx(p.entrada)).Texto(), p.esperado);
  }
}

TEST(UneRuta, JoinsWithOneSeparator) {
  struct Caso {
    const char* directorio;
    const char* archivo;
    const char* esperado;
  };
  constexpr char s = kSeparadorDirectorio;
  const std::string prog = std::string("prog") + s;
  const std::vector<Caso> casos = {{"prog", "WKT.DAT", nullptr},
                                   {prog.c_str(), "WKT.DAT", nullptr},
                                   {"", "WKT.DAT", "WKT.DAT"},
#ifdef _WIN32
                                   {"C:", "WKT.DAT", "C:\\WKT.DAT"},
                                   {"C:/x/", "WKT.DAT", "C:/x/\\WKT.DAT"},
#else
                                   {"/", "WKT.DAT", "/WKT.DAT"},
                                   {"C:\\x\\", "WKT.DAT", "C:\\x\\/WKT.DAT"},
#endif
  };
  const std::string joined = prog + "WKT.DAT";
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.directorio);
    DString destino("old");
    UneRuta(destino, c.directorio, c.archivo);
    EXPECT_STREQ(destino.Texto(), c.esperado != nullptr ? c.esperado : joined.c_str());
  }
  // Both arguments may point into the destination.
  DString d("abc");
  UneRuta(d, d.Texto(), d.Texto() + 1);
  EXPECT_EQ(std::string(d.Texto()), std::string("abc") + s + "bc");
}

TEST(TieneUnidad, DrivesAndRoots) {
  struct Caso {
    const char* nombre;
    bool esperado;
  };
  for (const Caso& c : std::vector<Caso>{{"", false},
                                         {"a", false},
                                         {"/", false},
                                         {"ab", false},
                                         {"C:x", true},
                                         {"data:1", true},
#ifdef _WIN32
                                         {"\\x", true},
#else
                                         {"/x", true},
                                         {"\\x", false},
#endif
                                         {"rel/x", false}}) {
    SCOPED_TRACE(c.nombre);
    EXPECT_EQ(TieneUnidad(DString(c.nombre)), c.esperado);
  }
}

TEST(ExisteArchivo, OnlyExistingFilesThatAreNotDirectories) {
  fixture::TempDir dir;
  files_test::WriteText(dir.Path("f"), "x");
  EXPECT_TRUE(ExisteArchivo(DString(dir.Path("f").c_str())));
  EXPECT_FALSE(ExisteArchivo(DString(dir.Dir().c_str())));
  EXPECT_FALSE(ExisteArchivo(DString(dir.Path("missing").c_str())));
  EXPECT_FALSE(ExisteArchivo(DString("")));
#ifdef _WIN32
  // Drive letters beyond Z wrap modulo 32; Q is assumed absent on test machines.
  EXPECT_FALSE(ExisteArchivo(DString("Q:\\x.dat")));
#endif
}

class RutaJuntoAlProgramaTest : public ::testing::Test {
 protected:
  void SetUp() override { OlvidaDirectorioDelPrograma(); }
  void TearDown() override {
    platform::RestoreProgramArgument0();
    OlvidaDirectorioDelPrograma();
  }
  static std::string Ruta(const char* nombre) {
    DString d(nombre);
    EXPECT_TRUE(RutaJuntoAlPrograma(d));
    return d.Texto();
  }
};

TEST_F(RutaJuntoAlProgramaTest, PlacesTheNameBesideTheProgram) {
  platform::OverrideProgramArgument0("/opt/host/bin/host");
  EXPECT_EQ(Ruta("WKT_IVRO.DAT"), "/opt/host/bin/WKT_IVRO.DAT");
  EXPECT_EQ(Ruta("/data/x.dat"), "/opt/host/bin/x.dat");
  EXPECT_EQ(Ruta("D:\\data\\x.dat"), "/opt/host/bin/x.dat");
  // Filled once: a later change of the argument vector is not seen.
  platform::OverrideProgramArgument0("/elsewhere/host");
  EXPECT_EQ(Ruta("WKT_IVRO.DAT"), "/opt/host/bin/WKT_IVRO.DAT");
}

TEST_F(RutaJuntoAlProgramaTest, WithoutADirectoryTheBareNameRemainsAndIsLookedAtAgain) {
  platform::OverrideProgramArgument0("host");
  EXPECT_EQ(Ruta("WKT_IVRO.DAT"), "WKT_IVRO.DAT");
  EXPECT_EQ(Ruta("/data/x.dat"), "x.dat");
  platform::OverrideProgramArgument0(nullptr);
  EXPECT_EQ(Ruta("/data/x.dat"), "x.dat");
  platform::OverrideProgramArgument0("/host");
  EXPECT_EQ(Ruta("WKT_IVRO.DAT"), "/WKT_IVRO.DAT");
}

TEST_F(RutaJuntoAlProgramaTest, ConcurrentFirstCallsAgree) {
  platform::OverrideProgramArgument0("/opt/host/bin/host");
  std::vector<std::string> results(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&results, i] { results[i] = Ruta("WKT_IVRO.DAT"); });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& r : results) EXPECT_EQ(r, "/opt/host/bin/WKT_IVRO.DAT");
}

TEST_F(RutaJuntoAlProgramaTest, RealArgumentVectorIsThisProgram) {
  const char* argument0 = platform::ProgramArgument0();
  ASSERT_NE(argument0, nullptr);
  // Whatever path started us, the file it names is this test program.
  EXPECT_NE(std::string(NombreArchivo(DString(argument0))).find("files_test"), std::string::npos);
  EXPECT_TRUE(ExisteArchivo(DString(argument0)));
}

TEST(TCurrentDir, CapturesTheCurrentDirectory) {
  fixture::TempDir dir;
  char before[4096];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  ASSERT_EQ(::chdir(dir.Dir().c_str()), 0);
  char now[4096];
  ASSERT_NE(::getcwd(now, sizeof now), nullptr);
  {
    TCurrentDir current;
    EXPECT_STREQ(current.Texto(), now);
  }
  ASSERT_EQ(::chdir(before), 0);
  TCurrentDir back;
  EXPECT_STREQ(back.Texto(), before);
}

}  // namespace

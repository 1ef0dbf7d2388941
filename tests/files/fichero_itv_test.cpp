// Large-file offsets for the sparse fixtures on 32-bit builds.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/fichero_itv.h"
#include "files_test_util.h"
#include "tiff_fixture.h"

namespace {

using files_test::Pattern;
using files_test::ReadText;
using files_test::WriteText;

constexpr std::int32_t kBuffered = FITV_LECTURA | FITV_BUFFER;

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// Overwrites bytes in place, behind the back of any open object.
void Overwrite(const std::string& path, std::size_t at, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

TEST(FicheroItvAbre, InvalidAccessBitsThrow) {
  fixture::TempDir dir;
  WriteText(dir.Path("a"), "x");
  for (std::int32_t modo : {0, FITV_TEXTO, FITV_LECTURA | FITV_ESCRITURA, FITV_ESCRITURA | FITV_ANADIR,
                            FITV_LECTURA | FITV_ESCRITURA | FITV_ANADIR | FITV_DIRECTO}) {
    SCOPED_TRACE(modo);
    TFicheroITV f;
    try {
      f.Abre(dir.Path("a").c_str(), modo);
      ADD_FAILURE() << "no exception";
    } catch (const char* e) {
      EXPECT_STREQ(e, "Error en TFicheroITV::Abre");
    }
    EXPECT_FALSE(f.EstaAbierto());
  }
}

TEST(FicheroItvAbre, ReadingRefusesMissingFilesAndDirectories) {
  fixture::TempDir dir;
  WriteText(dir.Path("t.txt"), "a\r\nb");
  for (std::int32_t modo : {FITV_LECTURA | FITV_TEXTO, FITV_LECTURA | FITV_DIRECTO, kBuffered}) {
    SCOPED_TRACE(modo);
    TFicheroITV f;
    EXPECT_FALSE(f.Abre(dir.Path("missing").c_str(), modo));
    EXPECT_FALSE(f.EstaAbierto());
    EXPECT_FALSE(f.Abre(dir.Dir().c_str(), modo));
    EXPECT_FALSE(f.EstaAbierto());
    ASSERT_TRUE(f.Abre(dir.Path("t.txt").c_str(), modo));
    EXPECT_EQ(f.ModoApertura(), modo);
    char buf[4] = {};
    // Binary form everywhere: the CR arrives as it is stored.
    ASSERT_TRUE(f.Lee(buf, 4));
    EXPECT_EQ(std::string(buf, 4), "a\r\nb");
  }
}

TEST(FicheroItvAbre, SecondOpenFailsAndKeepsTheFirstFile) {
  fixture::TempDir dir;
  WriteText(dir.Path("one"), "first");
  WriteText(dir.Path("two"), "second");
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(dir.Path("one").c_str(), FITV_LECTURA | FITV_TEXTO));
  EXPECT_FALSE(f.Abre(dir.Path("two").c_str(), FITV_LECTURA | FITV_TEXTO));
  char buf[5] = {};
  ASSERT_TRUE(f.Lee(buf, 5));
  EXPECT_EQ(std::string(buf, 5), "first");
  f.Cierra();
  f.Cierra();  // harmless when closed
  EXPECT_TRUE(f.Abre(dir.Path("two").c_str(), FITV_LECTURA));
}

TEST(FicheroItvAbre, UpdateModesReadAndWrite) {
  struct Caso {
    std::int32_t modo;
    const char* despues;  // the file after writing "XY" at the position reached by reading one byte
  };
  // Stream and direct mode agree: update keeps the file (read), empties it
  // (write) or writes at its end (append).
  const std::vector<Caso> casos = {{FITV_LECTURA | FITV_ACTUALIZA, "aXYd"},
                                   {FITV_ESCRITURA | FITV_ACTUALIZA, "XY"},
                                   {FITV_ANADIR | FITV_ACTUALIZA, "abcdXY"}};
  fixture::TempDir dir;
  for (std::int32_t extra : {0, FITV_DIRECTO}) {
    for (const Caso& c : casos) {
      SCOPED_TRACE(c.modo | extra);
      const std::string path = dir.Path("u");
      WriteText(path, "abcd");
      TFicheroITV f;
      ASSERT_TRUE(f.Abre(path.c_str(), c.modo | extra));
      char b = 0;
      const bool leyo = f.Lee(&b, 1);
      EXPECT_EQ(leyo, (c.modo & FITV_ESCRITURA) == 0);
      if (leyo) EXPECT_EQ(b, 'a');
      f.Posiciona(leyo ? 1 : 0);  // a stream must be positioned between a read and a write
      ASSERT_TRUE(f.Escribe("XY", 2));
      f.Posiciona(0);
      char back[2] = {};
      ASSERT_TRUE(f.Lee(back, 2));
      EXPECT_EQ(std::string(back, 2), std::string(c.despues, 2));
      f.Cierra();
      EXPECT_EQ(ReadText(path), c.despues);
    }
  }
}

TEST(FicheroItvTemporal, WritesUnderTheTemporaryNameAndReplacesTheTargetAtClose) {
  fixture::TempDir dir;
  const std::string out = dir.Path("out.txt");
  WriteText(out, "old contents");
  for (std::int32_t extra : {0, FITV_DIRECTO}) {
    SCOPED_TRACE(extra);
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(out.c_str(), FITV_ESCRITURA | FITV_TEMPORAL | extra));
    EXPECT_STREQ(f.NombreDestino(), out.c_str());
    EXPECT_TRUE(Exists(out + ".$$$"));
    ASSERT_TRUE(f.Escribe("new", 3));
    EXPECT_EQ(ReadText(out), "old contents");
    f.Cierra();
    EXPECT_EQ(ReadText(out), "new");
    EXPECT_FALSE(Exists(out + ".$$$"));
    WriteText(out, "old contents");
  }
}

TEST(FicheroItvTemporal, FailedWriteOrAppendLeavesTheTargetAlone) {
  fixture::TempDir dir;
  const std::string out = dir.Path("out.txt");
  WriteText(out, "keep");
  {
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(out.c_str(), FITV_ESCRITURA | FITV_TEMPORAL));
    ASSERT_TRUE(f.Escribe("partial", 7));
    EXPECT_FALSE(f.Escribe(nullptr, 4));
  }  // the destructor closes
  EXPECT_EQ(ReadText(out), "keep");
  EXPECT_EQ(ReadText(out + ".$$$"), "partial");
  {
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(out.c_str(), FITV_ANADIR | FITV_TEMPORAL));
    ASSERT_TRUE(f.Escribe("+", 1));
  }
  EXPECT_EQ(ReadText(out), "keep");
  // A later open without the flag forgets the earlier target.
  {
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(out.c_str(), FITV_ESCRITURA | FITV_TEMPORAL));
    f.Cierra();
    ASSERT_TRUE(f.Abre(dir.Path("other").c_str(), FITV_ESCRITURA));
    EXPECT_STREQ(f.NombreDestino(), "");
    ASSERT_TRUE(f.Escribe("o", 1));
  }
  EXPECT_EQ(ReadText(out), "");
  EXPECT_EQ(ReadText(dir.Path("other")), "o");
}

TEST(FicheroItvVentana, SmallFileIsLoadedWholeAndServedFromMemory) {
  fixture::TempDir dir;
  const std::string path = dir.Path("f100");
  const std::string data = Pattern(100);
  WriteText(path, data);
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(path.c_str(), kBuffered));
  ASSERT_TRUE(f.VentanaActiva());
  EXPECT_EQ(f.TamanoBuffer(), 100);
  EXPECT_EQ(f.InicioVentana(), 0);
  EXPECT_EQ(f.FinVentana(), 100);
  EXPECT_EQ(f.BytesCargadosEnVentana(), 100);

  Overwrite(path, 90, std::string(10, 'Q'));
  f.Posiciona(95);
  char buf[5];
  ASSERT_TRUE(f.Lee(buf, 5));
  EXPECT_EQ(std::string(buf, 5), data.substr(95, 5));  // not the bytes now on disk
  EXPECT_EQ(f.BytesCargadosEnVentana(), 100);
  EXPECT_EQ(f.Posicion(), 100);
  EXPECT_TRUE(f.FinArchivo());
}

TEST(FicheroItvVentana, LargeFileWindowMovesWithThePosition) {
  fixture::TempDir dir;
  const std::string path = dir.Path("f200k");
  const std::string data = Pattern(200000);
  WriteText(path, data);
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(path.c_str(), kBuffered));
  EXPECT_EQ(f.TamanoBuffer(), 65536);
  EXPECT_EQ(f.InicioVentana(), 0);
  EXPECT_EQ(f.FinVentana(), 65536);
  EXPECT_EQ(f.Longitud(), 200000);
  EXPECT_EQ(f.Longitud64(), 200000);

  f.Posiciona64(70000);
  EXPECT_EQ(f.InicioVentana(), 70000);
  EXPECT_EQ(f.FinVentana(), 135536);
  EXPECT_EQ(f.Posicion64(), 70000);
  char buf[8];
  ASSERT_TRUE(f.Lee(buf, 8));
  EXPECT_EQ(std::string(buf, 8), data.substr(70000, 8));

  // A move inside the window does not reload it.
  const std::int64_t loaded = f.BytesCargadosEnVentana();
  f.Posiciona(100000);
  ASSERT_TRUE(f.Lee(buf, 8));
  EXPECT_EQ(std::string(buf, 8), data.substr(100000, 8));
  EXPECT_EQ(f.BytesCargadosEnVentana(), loaded);

  // At the window end: no reload until the next read.
  f.PosicionaEnBuffer(135536);
  EXPECT_EQ(f.InicioVentana(), 70000);
  EXPECT_EQ(f.BytesCargadosEnVentana(), loaded);
  ASSERT_TRUE(f.Lee(buf, 1));
  EXPECT_EQ(buf[0], data[135536]);
  EXPECT_EQ(f.InicioVentana(), 135536);
  EXPECT_EQ(f.FinVentana(), 200000);
}

TEST(FicheroItvVentana, ReadsNeverReachPastTheValidBytes) {
  fixture::TempDir dir;
  const std::string path = dir.Path("f200k");
  const std::string data = Pattern(200000);
  WriteText(path, data);
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(path.c_str(), kBuffered));
  char buf[70000];

  f.Posiciona64(199998);
  EXPECT_FALSE(f.Lee(buf, 4));
  ASSERT_TRUE(f.Lee(buf, 2));
  EXPECT_EQ(std::string(buf, 2), data.substr(199998));
  EXPECT_TRUE(f.FinArchivo());

  // A reload past the end keeps the last buffer-size bytes and the asked position.
  f.Posiciona64(250000);
  EXPECT_EQ(f.InicioVentana(), 200000 - 65536);
  EXPECT_EQ(f.FinVentana(), 200000);
  EXPECT_EQ(f.Posicion64(), 250000);
  EXPECT_FALSE(f.Lee(buf, 1));

  // Exactly the buffer size bypasses the window and reports what the system delivered.
  f.Posiciona64(10);
  const std::int64_t start = f.InicioVentana();
  ASSERT_TRUE(f.Lee(buf, 65536));
  EXPECT_EQ(std::memcmp(buf, data.data() + 10, 65536), 0);
  EXPECT_EQ(f.InicioVentana(), start);
  EXPECT_EQ(f.Posicion64(), 10 + 65536);
  f.Posiciona64(150000);
  EXPECT_FALSE(f.Lee(buf, 65536));

  TFicheroITV small;
  WriteText(dir.Path("f100"), Pattern(100));
  ASSERT_TRUE(small.Abre(dir.Path("f100").c_str(), kBuffered));
  small.Posiciona(98);
  EXPECT_FALSE(small.Lee(buf, 5));
  small.Posiciona(0);
  ASSERT_TRUE(small.Lee(buf, 100));  // the buffer size: straight from the system
  EXPECT_EQ(std::string(buf, 100), Pattern(100));
  EXPECT_FALSE(small.Lee(buf, 1));
}

TEST(FicheroItvVentana, EmptyFileHasAnEmptyBuffer) {
  fixture::TempDir dir;
  WriteText(dir.Path("empty"), "");
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(dir.Path("empty").c_str(), kBuffered));
  EXPECT_TRUE(f.VentanaActiva());
  EXPECT_EQ(f.TamanoBuffer(), 0);
  EXPECT_FALSE(f.RellenaBuffer(0));
  char c;
  EXPECT_FALSE(f.Lee(&c, 1));
  EXPECT_TRUE(f.Lee(&c, 0));
  EXPECT_TRUE(f.FinArchivo());
  EXPECT_EQ(f.LeeCaracter(), 0);
}

TEST(FicheroItvVentana, WritesAreSeenByLaterReads) {
  fixture::TempDir dir;
  const std::string path = dir.Path("f");
  const std::string data = Pattern(1000);
  WriteText(path, data);
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(path.c_str(), kBuffered | FITV_ACTUALIZA));
  char buf[16];
  ASSERT_TRUE(f.Lee(buf, 16));
  f.Posiciona(500);
  ASSERT_TRUE(f.Escribe("XYZ", 3));
  EXPECT_EQ(f.Posicion(), 503);
  ASSERT_TRUE(f.Lee(buf, 2));
  EXPECT_EQ(std::string(buf, 2), data.substr(503, 2));
  f.Posiciona(498);
  ASSERT_TRUE(f.Lee(buf, 7));
  EXPECT_EQ(std::string(buf, 7), data.substr(498, 2) + "XYZ" + data.substr(503, 2));
  f.Cierra();
  EXPECT_EQ(ReadText(path).substr(500, 3), "XYZ");
}

TEST(FicheroItvPosicion, StreamLengthKeepsThePositionAndEndNeedsAFailedRead) {
  fixture::TempDir dir;
  WriteText(dir.Path("f"), Pattern(100));
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(dir.Path("f").c_str(), FITV_LECTURA));
  f.Posiciona(40);
  EXPECT_EQ(f.Longitud(), 100);
  EXPECT_EQ(f.Longitud64(), 100);
  EXPECT_EQ(f.Posicion(), 40);
  EXPECT_EQ(f.Posicion64(), 40);
  char buf[60];
  ASSERT_TRUE(f.Lee(buf, 60));
  EXPECT_FALSE(f.FinArchivo());
  EXPECT_EQ(f.LeeCaracter(), static_cast<char>(0xFF));
  EXPECT_TRUE(f.FinArchivo());
}

TEST(FicheroItvPosicion, DirectEndIsTheSizeAtOpen) {
  fixture::TempDir dir;
  WriteText(dir.Path("f"), Pattern(100));
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(dir.Path("f").c_str(), FITV_LECTURA | FITV_DIRECTO));
  char buf[100];
  ASSERT_TRUE(f.Lee(buf, 99));
  EXPECT_FALSE(f.FinArchivo());
  ASSERT_TRUE(f.Lee(buf, 1));
  EXPECT_TRUE(f.FinArchivo());
  EXPECT_EQ(f.LeeCaracter(), 0);
  f.Posiciona(10);
  EXPECT_EQ(f.Posicion(), 10);
  EXPECT_EQ(f.Longitud(), 100);
  EXPECT_EQ(f.Posicion(), 10);

  TFicheroITV w;
  ASSERT_TRUE(w.Abre(dir.Path("w").c_str(), FITV_ESCRITURA | FITV_DIRECTO));
  EXPECT_TRUE(w.FinArchivo());
  ASSERT_TRUE(w.Escribe("abc", 3));
  w.Posiciona(0);
  EXPECT_TRUE(w.FinArchivo());
}

TEST(FicheroItvPosicion, DirectAppendNeverOverwrites) {
  fixture::TempDir dir;
  const std::string path = dir.Path("f");
  WriteText(path, "abc");
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(path.c_str(), FITV_ANADIR | FITV_DIRECTO));
  EXPECT_EQ(f.Posicion(), 0);
  char c = 0;
  ASSERT_TRUE(f.Lee(&c, 1));
  EXPECT_EQ(c, 'a');
  ASSERT_TRUE(f.Escribe("de", 2));
  f.Posiciona(0);
  ASSERT_TRUE(f.Escribe("f", 1));
  f.Cierra();
  EXPECT_EQ(ReadText(path), "abcdef");

  ASSERT_TRUE(f.Abre(dir.Path("new").c_str(), FITV_ANADIR | FITV_DIRECTO));  // created when absent
  ASSERT_TRUE(f.Escribe("n", 1));
  f.Cierra();
  EXPECT_EQ(ReadText(dir.Path("new")), "n");
}

TEST(FicheroItvPosicion, PositionsPastFourGibibytes) {
  fixture::TempDir dir;
  const std::string path = dir.Path("big");
  const std::int64_t base = std::int64_t{1} << 32;
  {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "MARK", 4, static_cast<off_t>(base + 8)), 4);
    struct stat info;
    ASSERT_EQ(::fstat(fd, &info), 0);
    ::close(fd);
    if (info.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "no sparse files here";
  }
  for (std::int32_t modo : {FITV_LECTURA, FITV_LECTURA | FITV_DIRECTO, kBuffered}) {
    SCOPED_TRACE(modo);
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(path.c_str(), modo));
    EXPECT_EQ(f.Longitud64(), base + 12);
    EXPECT_EQ(f.Longitud(), 12);  // the low 32 bits
    f.Posiciona64(base + 8);
    EXPECT_EQ(f.Posicion64(), base + 8);
    EXPECT_EQ(f.Posicion(), 8);
    char buf[4] = {};
    ASSERT_TRUE(f.Lee(buf, 4));
    EXPECT_EQ(std::string(buf, 4), "MARK");
  }
}

// Records every underlying transfer of a chunked one.
class CountingFile : public TFicheroITV {
 public:
  std::vector<std::int32_t> reads;
  std::vector<std::int32_t> writes;
  bool Lee(void* destino, std::int32_t n, TProgresoES* progreso, std::int32_t bloque) override {
    if (progreso == nullptr) reads.push_back(n);
    return TFicheroITV::Lee(destino, n, progreso, bloque);
  }
  bool Escribe(const void* datos, std::int32_t n, TProgresoES* progreso, std::int32_t bloque) override {
    if (progreso == nullptr) writes.push_back(n);
    return TFicheroITV::Escribe(datos, n, progreso, bloque);
  }
};

TEST(FicheroItvBloques, ChunkedTransfersReportProgressAndStopOnCancel) {
  fixture::TempDir dir;
  const std::string data = Pattern(100000);
  for (std::int32_t modo : {0, FITV_DIRECTO}) {
    SCOPED_TRACE(modo);
    const std::string path = dir.Path("f" + std::to_string(modo));
    {
      CountingFile w;
      ASSERT_TRUE(w.Abre(path.c_str(), FITV_ESCRITURA | modo));
      TProgresoES progreso;
      ASSERT_TRUE(w.Escribe(data.data(), 100000, &progreso, 0));
      EXPECT_EQ(w.writes, (std::vector<std::int32_t>{32000, 32000, 32000, 4000}));
      EXPECT_EQ(progreso.Hechos, 100000);
      EXPECT_EQ(progreso.Total, 100000);
    }
    ASSERT_EQ(ReadText(path), data);

    CountingFile r;
    ASSERT_TRUE(r.Abre(path.c_str(), FITV_LECTURA | modo));
    std::vector<char> buf(100000);
    TProgresoES progreso;
    int marker = 7;
    progreso.Usuario = &marker;
    ASSERT_TRUE(r.Lee(buf.data(), 100000, &progreso, -1));
    EXPECT_EQ(r.reads, (std::vector<std::int32_t>{32000, 32000, 32000, 4000}));
    EXPECT_EQ(progreso.Hechos, 100000);
    EXPECT_EQ(progreso.Usuario, &marker);
    EXPECT_EQ(std::memcmp(buf.data(), data.data(), 100000), 0);

    r.Posiciona(0);
    r.reads.clear();
    progreso.Cancelar = true;
    EXPECT_FALSE(r.Lee(buf.data(), 100000, &progreso, -1));
    EXPECT_EQ(r.reads, (std::vector<std::int32_t>{32000}));
    EXPECT_EQ(progreso.Hechos, 32000);

    // A chunk the file cannot fill ends the transfer with a failure.
    r.Posiciona(50000);
    progreso.Cancelar = false;
    EXPECT_FALSE(r.Lee(buf.data(), 100000, &progreso, 30000));
    EXPECT_EQ(progreso.Hechos, 30000);
    EXPECT_EQ(progreso.Total, 100000);

    progreso.Hechos = 5;
    EXPECT_TRUE(r.Lee(buf.data(), 0, &progreso, -1));
    EXPECT_EQ(progreso.Hechos, 0);
    EXPECT_EQ(progreso.Total, 0);
  }
}

TEST(FicheroItvLee, ShortAndInvalidTransfersFail) {
  fixture::TempDir dir;
  WriteText(dir.Path("f"), "abc");
  for (std::int32_t modo : {FITV_LECTURA, FITV_LECTURA | FITV_DIRECTO, kBuffered}) {
    SCOPED_TRACE(modo);
    TFicheroITV f;
    ASSERT_TRUE(f.Abre(dir.Path("f").c_str(), modo));
    char buf[8];
    EXPECT_FALSE(f.Lee(buf, -1));
    EXPECT_FALSE(f.Lee(buf, 8));
  }
}

}  // namespace

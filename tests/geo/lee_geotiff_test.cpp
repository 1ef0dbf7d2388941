#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DString.h"
#include "GeoTiffDLL.h"
#include "geo/lee_geotiff.h"
#include "geotiff_fixture.h"
#include "plugin_host.h"
#include "tiff_fixture.h"
#include "tifferror/tiff_error_capture.h"

using geofixture::Ascii;
using geofixture::Double;
using geofixture::GeoParams;
using geofixture::Short;

namespace {

// A record whose every byte is a marker, so a reset and untouched bytes show.
struct Record {
  Record() { std::memset(&d, 0x5A, sizeof d); }
  TDatosGeoTiffDLL d;
};

class LeeGeoTiff : public ::testing::Test {
 protected:
  // Writes the file these parameters describe and reads it back; the call's result must be 1.
  TDatosGeoTiffDLL& Read(const GeoParams& params) {
    const std::string path = dir.Path("g.tif");
    EXPECT_TRUE(geofixture::WriteGeoTiff(path, params));
    DString error("untouched");
    EXPECT_EQ(Lee_GeoTIFF(path.c_str(), &rec.d, error), 1);
    EXPECT_STREQ(error.Texto(), "untouched");
    return rec.d;
  }
  static GeoParams WithKeys(std::vector<geofixture::Key> keys) {
    GeoParams s;
    s.tiepoints = {0, 0, 0, 1, 2, 0};
    s.keys = std::move(keys);
    return s;
  }
  static GeoParams WithRawKeys(std::vector<uint16_t> dir, std::vector<double> dbl = {},
                             std::string ascii = {}) {
    GeoParams s;
    s.tiepoints = {0, 0, 0, 1, 2, 0};
    s.rawDirectory = std::move(dir);
    s.rawDoubles = std::move(dbl);
    s.rawAscii = std::move(ascii);
    return s;
  }
  fixture::TempDir dir;
  Record rec;
};

void ExpectReset(const TDatosGeoTiffDLL& d) {
  EXPECT_EQ(d.HayTiePoints, 0);
  EXPECT_EQ(d.HayEscala, 0);
  EXPECT_EQ(d.HayMatriz, 0);
  EXPECT_EQ(d.NumTiePoints, 0);
  EXPECT_EQ(d.TiePoints[0], 0.0);
  EXPECT_EQ(d.Matriz[15], 0.0);
  EXPECT_EQ(d.TipoModelo, 0);
  EXPECT_EQ(d.CodigoPCS, 0);
  EXPECT_EQ(d.FalsoNorte, 0.0);
  for (const char* t : {d.NombreGCS, d.NombreGeografico, d.NombreDatum, d.NombrePCS, d.NombreProyeccion,
                        d.CitaPCS, d.OtrasClaves})
    EXPECT_EQ(t[0], '\0');
}

TEST_F(LeeGeoTiff, PlainTiffHasNoGeoreferenceButItsSize) {
  fixture::TiffParams params;
  params.width = 7;
  params.height = 5;
  params.bitsPerSample = 16;
  const std::string path = dir.Path("plain.tif");
  ASSERT_TRUE(fixture::WriteTiff(path, params, fixture::PatternPixels(params)));
  DString error;
  ASSERT_EQ(Lee_GeoTIFF(path.c_str(), &rec.d, error), 1);
  ExpectReset(rec.d);
  EXPECT_EQ(rec.d.Ancho, 7);
  EXPECT_EQ(rec.d.Alto, 5);
  EXPECT_EQ(rec.d.BitsMuestra, 16);
  EXPECT_TRUE(error.EstaVacio());
  // Reservado and the alignment gaps are the caller's.
  int32_t reservado;
  std::memcpy(&reservado, &rec.d, 4);
  EXPECT_EQ(reservado, 0x5A5A5A5A);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(&rec.d)[204], 0x5A);
}

TEST_F(LeeGeoTiff, UnopenablePathFailsWithLibtiffReason) {
  const std::string path = dir.Path("missing/none.tif");
  DString error("old text");
  EXPECT_EQ(Lee_GeoTIFF(path.c_str(), &rec.d, error), 0);
  EXPECT_STREQ(error.Texto(), "Error openning TIF file");
  ExpectReset(rec.d);
  EXPECT_EQ(std::string(TiffErrorText()), "TIFFOpen: " + path + ": No such file or directory");

  EXPECT_EQ(Lee_GeoTIFF(nullptr, &rec.d, error), 0);
  EXPECT_STREQ(error.Texto(), "Error openning TIF file");
}

TEST_F(LeeGeoTiff, DirectoryThatLibgeotiffRejectsFailsWithoutGeographicInformation) {
  // A key stored in a tag libgeotiff does not know.
  const std::string path = dir.Path("bad.tif");
  GeoParams params = WithRawKeys({1, 1, 0, 1, 5000, 12345, 1, 0});
  ASSERT_TRUE(geofixture::WriteGeoTiff(path, params));
  DString error;
  EXPECT_EQ(Lee_GeoTIFF(path.c_str(), &rec.d, error), 0);
  EXPECT_STREQ(error.Texto(),
               "The TIF map you are trying to open has not geographic information in it. Try the Import Map "
               "option.If this also fails, you will have to calibrate it manually to be able to open it.");
  ExpectReset(rec.d);
}

TEST_F(LeeGeoTiff, TiePointCounts) {
  struct Case {
    int values;
    int expected;
  };
  for (Case c : {Case{6, 1}, Case{12, 2}, Case{7, 1}, Case{30, 4}}) {
    SCOPED_TRACE(c.values);
    GeoParams params;
    for (int i = 0; i < c.values; ++i) params.tiepoints.push_back(i + 1);
    Record fresh;
    rec = fresh;
    const TDatosGeoTiffDLL& d = Read(params);
    EXPECT_EQ(d.HayTiePoints, 1);
    EXPECT_EQ(d.NumTiePoints, c.expected);
    const int stored = c.values < 24 ? c.values : 24;
    for (int i = 0; i < stored; ++i) EXPECT_EQ(d.TiePoints[i], i + 1);
    for (int i = stored; i < 24; ++i) EXPECT_EQ(d.TiePoints[i], 0.0);
    // Nothing past the field: the flag after it is the reader's own 0.
    EXPECT_EQ(d.HayEscala, 0);
  }
}

TEST_F(LeeGeoTiff, ScaleAndMatrixShortOfValuesReadAsZero) {
  GeoParams params;
  params.pixelScale = {2.5, 3.5};
  params.matrix = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const TDatosGeoTiffDLL& d = Read(params);
  EXPECT_EQ(d.HayTiePoints, 0);
  EXPECT_EQ(d.HayEscala, 1);
  EXPECT_EQ(d.Escala[0], 2.5);
  EXPECT_EQ(d.Escala[1], 3.5);
  EXPECT_EQ(d.Escala[2], 0.0);
  EXPECT_EQ(d.HayMatriz, 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d.Matriz[i], i + 1);
}

TEST_F(LeeGeoTiff, GeographicAndDatumNames) {
  const TDatosGeoTiffDLL& d = Read(WithKeys({Short(1024, 2), Short(2048, 4326), Short(2050, 6326)}));
  EXPECT_EQ(d.TipoModelo, 2);
  EXPECT_STREQ(d.NombreGeografico, "GCS_WGS_84");
  EXPECT_STREQ(d.NombreDatum, "Datum_WGS84");
  EXPECT_STREQ(d.NombreGCS, "Datum_WGS84");
  EXPECT_EQ(d.CodigoGeografico, 4326);
  EXPECT_STREQ(d.OtrasClaves, "");
}

TEST_F(LeeGeoTiff, NombreGcsFollowsDirectoryOrder) {
  // Unsorted on purpose: the geographic key comes last.
  const TDatosGeoTiffDLL& d = Read(WithRawKeys({1, 1, 0, 2, 2050, 0, 1, 6326, 2048, 0, 1, 4326}));
  EXPECT_STREQ(d.NombreGCS, "GCS_WGS_84");
  EXPECT_STREQ(d.NombreDatum, "Datum_WGS84");
}

TEST_F(LeeGeoTiff, UserDefinedGeographicAlone) {
  const TDatosGeoTiffDLL& d = Read(WithKeys({Short(2048, 32767)}));
  EXPECT_STREQ(d.NombreGeografico, "User-Defined");
  EXPECT_STREQ(d.NombreGCS, "User-Defined");
  EXPECT_STREQ(d.NombreDatum, "");
  EXPECT_EQ(d.CodigoGeografico, 32767);
}

TEST_F(LeeGeoTiff, ProjectedSystemAndProjection) {
  const TDatosGeoTiffDLL& d =
      Read(WithKeys({Short(1024, 1), Short(3072, 32631), Short(3074, 16031), Short(3075, 8)}));
  EXPECT_STREQ(d.NombrePCS, "PCS_WGS84_UTM_zone_31N");
  EXPECT_EQ(d.CodigoPCS, 32631);
  EXPECT_STREQ(d.NombreProyeccion, "Proj_UTM_zone_31N");
  EXPECT_EQ(d.CodigoProyeccion, 16031);
  EXPECT_EQ(d.TransfCoord, 8);
}

TEST_F(LeeGeoTiff, CodedKeysNotStoredAsOneShortKeepTheNumberOnly) {
  // 3072 as a DOUBLE, 3074 as two SHORTs, 2050 as a DOUBLE after a good 2048.
  const TDatosGeoTiffDLL& d = Read(WithRawKeys(
      {1, 1, 0, 4, 2048, 0, 1, 4326, 2050, 34736, 1, 0, 3072, 34736, 1, 1, 3074, 34735, 2, 20, 16031, 16032},
      {6326.0, 32631.9}));
  EXPECT_EQ(d.CodigoPCS, 32631);
  EXPECT_STREQ(d.NombrePCS, "");
  EXPECT_EQ(d.CodigoProyeccion, -1);
  EXPECT_STREQ(d.NombreProyeccion, "");
  EXPECT_STREQ(d.NombreDatum, "");
  EXPECT_STREQ(d.NombreGCS, "GCS_WGS_84");
}

TEST_F(LeeGeoTiff, ProjectionParameterStorage) {
  // 3078 as one SHORT, 3079 as two SHORTs, 3082 as a DOUBLE; 3083 absent.
  const TDatosGeoTiffDLL& d =
      Read(WithRawKeys({1, 1, 0, 3, 3078, 0, 1, 45, 3079, 34735, 2, 16, 3082, 34736, 1, 0, 7, 8}, {500000.25}));
  EXPECT_EQ(d.Paralelo1, 45.0);
  EXPECT_EQ(d.Paralelo2, -1.0);
  EXPECT_EQ(d.FalsoEste, 500000.25);
  EXPECT_EQ(d.FalsoNorte, 0.0);
  EXPECT_STREQ(d.OtrasClaves, "");
}

TEST_F(LeeGeoTiff, RasterTypeKeyChangesNothing) {
  const auto keys = std::vector<geofixture::Key>{Short(1024, 1), Short(3072, 32631)};
  Record without, with;
  rec = without;
  Read(WithKeys(keys));
  without = rec;
  for (int rasterType : {1, 2, 77}) {
    SCOPED_TRACE(rasterType);
    auto more = keys;
    more.push_back(Short(1025, rasterType));
    rec = with;
    Read(WithKeys(more));
    EXPECT_EQ(std::memcmp(&rec.d, &without.d, sizeof rec.d), 0);
  }
}

TEST_F(LeeGeoTiff, OtherKeysAreListedInDirectoryOrder) {
  const TDatosGeoTiffDLL& d = Read(WithKeys(
      {Short(5000, 7), Short(3076, 9001), Double(3077, 2.75), Double(3092, -0.5), Ascii(1026, "WGS 84 / UTM zone 31N")}));
  EXPECT_STREQ(d.OtrasClaves,
               "GTCitationGeoKey=-1 WGS 84 / UTM zone 31N|\r\n"
               "ProjLinearUnitsGeoKey=9001 Linear_Meter\r\n"
               "ProjLinearUnitSizeGeoKey=2 \r\n"
               "ProjScaleAtNatOriginGeoKey=0 \r\n"
               "Unknown-5000=7 Unknown-7\r\n");
}

TEST_F(LeeGeoTiff, AsciiTextRunsToTheEndOfTheTag) {
  const TDatosGeoTiffDLL& d = Read(WithKeys({Ascii(1026, "first"), Ascii(3073, "WGS 84 / UTM zone 31N")}));
  EXPECT_STREQ(d.CitaPCS, "WGS 84 / UTM zone 31N|");
  EXPECT_STREQ(d.OtrasClaves, "GTCitationGeoKey=-1 first|WGS 84 / UTM zone 31N|\r\n");
}

TEST_F(LeeGeoTiff, LongTextsAreCutToTheirFields) {
  const std::string citation(150, 'c');
  std::vector<geofixture::Key> keys = {Ascii(3073, citation)};
  // 60 unknown keys: "Unknown-60xx=1 Unknown-1\r\n" is 26 bytes, 1560 in all.
  for (int i = 0; i < 60; ++i) keys.push_back(Short(6000 + i, 1));
  const TDatosGeoTiffDLL& d = Read(WithKeys(keys));
  EXPECT_EQ(std::string(d.CitaPCS), std::string(99, 'c'));
  const std::string otras = d.OtrasClaves;
  EXPECT_EQ(otras.size(), 38u * 26u) << otras;
  EXPECT_EQ(otras.substr(otras.size() - 26), "Unknown-6037=1 Unknown-1\r\n");
}

TEST(LeeGeoTiffAbi, ExportedWithItsCppSignature) {
  const auto& p = host::Plugin::Get();
  auto* f = p.Typed<decltype(Lee_GeoTIFF)>("_Z11Lee_GeoTIFFPKcP16TDatosGeoTiffDLLR7DString");
  ASSERT_NE(f, nullptr);
  fixture::TempDir dir;
  const std::string path = dir.Path("g.tif");
  ASSERT_TRUE(geofixture::WriteGeoTiff(path, geofixture::OneTiePoint(40, 30, 430000, 4600000, 2,
                                                                       {Short(1024, 1), Short(3072, 32631)})));
  TDatosGeoTiffDLL d;
  DString error;
  ASSERT_EQ(f(path.c_str(), &d, error), 1);
  EXPECT_EQ(d.NumTiePoints, 1);
  EXPECT_EQ(d.Escala[0], 2.0);
  EXPECT_STREQ(d.NombrePCS, "PCS_WGS84_UTM_zone_31N");
  EXPECT_EQ(d.Ancho, 40);
  // The module writes its message into a string made here.
  EXPECT_EQ(f(dir.Path("none.tif").c_str(), &d, error), 0);
  EXPECT_STREQ(error.Texto(), "Error openning TIF file");
}

}  // namespace

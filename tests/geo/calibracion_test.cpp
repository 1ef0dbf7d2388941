#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZeltoPlugIn_TIFF.h"
#include "geotiff_fixture.h"
#include "plugin_host.h"
#include "program_dir.h"
#include "tiff_fixture.h"

using geofixture::Ascii;
using geofixture::GeoParams;
using geofixture::Short;

namespace {

struct Result {
  bool ok = false;
  std::vector<std::string> salida, errores;
};

Result Calibra(const std::string& path) {
  host::Messages salida, errores;
  Result r;
  r.ok = ZeltoPlugIn_Lee_Calibracion(path.c_str(), &salida, &errores);
  r.salida = salida.texts;
  r.errores = errores.texts;
  return r;
}

// The value of "Key=" in a calibration text, without its CR LF.
std::string Line(const std::string& text, const std::string& key) {
  const std::size_t p = text.find("\r\n" + key + "=");
  if (p == std::string::npos) return "<absent>";
  const std::size_t from = p + 2 + key.size() + 1;
  return text.substr(from, text.find("\r\n", from) - from);
}

std::string Catalogue(int epsg, const std::string& wkt) {
  return "EPSG=" + std::to_string(epsg) + "\n" + wkt + "\n";
}

class Calibracion : public ::testing::Test {
 protected:
  // Writes the GeoTIFF and calibrates it; exactly one text must come out.
  std::string Calibrated(const GeoParams& params) {
    const std::string path = program.Path("map.tif");
    EXPECT_TRUE(geofixture::WriteGeoTiff(path, params));
    const Result r = Calibra(path);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.errores.empty()) << (r.errores.empty() ? "" : r.errores[0]);
    EXPECT_EQ(r.salida.size(), 1u);
    return r.salida.empty() ? std::string() : r.salida[0];
  }
  ProgramDir program;
};

TEST_F(Calibracion, OneTiePointAndScaleGiveTheWholeTextByteForByte) {
  program.WriteCatalogue(Catalogue(32631, kWkt32631));
  const std::string path = program.Path("map.tif");
  const std::string text =
      Calibrated(geofixture::OneTiePoint(4000, 3000, 430000, 4600000, 2, {Short(1024, 1), Short(3072, 32631)}));
  EXPECT_EQ(text,
            "Zeltomap MAP File\r\n<Header>\r\nVersion=2\r\nVerZeltomap=6.2.n\r\n"
            "Projection=3,Transversal Mercator,3.00000000,0.00000000,0.00000000,500000.00000000,0.99960000,\r\n"
            "Coordinates=-1\r\n"
            "Datum=WGS 1984\r\n"
            "</Header>\r\n<Map>\r\n"
            "Bitmap=" + path + "\r\n"
            "BitmapWidth=4000\r\n"
            "BitmapHeight=3000\r\n"
            "</Map>\r\n<Calibration>\r\n"
            "P0=0.0000000,0.0000000,A,430000.0000000,4600000.0000000\r\n"
            "P1=4000.0000000,3000.0000000,A,438000.5000000,4593999.5000000\r\n"
            "P2=0.0000000,3000.0000000,A,430000.0000000,4593999.5000000\r\n"
            "P3=4000.0000000,0.0000000,A,438000.5000000,4600000.0000000\r\n"
            "</Calibration>\r\n");
}

TEST_F(Calibracion, SeveralTiePointsAreThePointsAndTheScaleIsIgnored) {
  GeoParams params = geofixture::OneTiePoint(40, 30, 430000, 4600000, 2, {Short(1024, 1), Short(3072, 32767)});
  params.tiepoints.insert(params.tiepoints.end(), {40, 30, 0, 430080, 4599940, 0});
  std::string text = Calibrated(params);
  EXPECT_NE(text.find("<Calibration>\r\n"
                      "P0=0.0000000,0.0000000,A,430000.0000000,4600000.0000000\r\n"
                      "P1=40.0000000,30.0000000,A,430080.0000000,4599940.0000000\r\n"
                      "</Calibration>\r\n"),
            std::string::npos)
      << text;

  // More tiepoints than the record holds: the first four.
  params.tiepoints.clear();
  for (int n = 0; n < 5; ++n) params.tiepoints.insert(params.tiepoints.end(), {n * 1.0, n * 2.0, 0, n * 10.0, n * 20.0, 0});
  text = Calibrated(params);
  EXPECT_NE(text.find("P3=3.0000000,6.0000000,A,30.0000000,60.0000000\r\n</Calibration>"), std::string::npos) << text;
  EXPECT_EQ(text.find("P4="), std::string::npos);
}

TEST_F(Calibracion, HeaderLinesFromKeysCitationsAndCatalogue) {
  struct Case {
    const char* name;
    std::vector<geofixture::Key> keys;
    std::string catalogue;  // "" writes none
    const char* projection;
    const char* coordinates;
    const char* datum;
  };
  const std::string wkt2154 =
      "PROJCS[\"RGF93 v1 / Lambert-93\",GEOGCS[\"RGF93 v1\",DATUM[\"Reseau_Geodesique_Francais_1993_v1\","
      "SPHEROID[\"GRS 1980\",6378137,298.257222101]]],PROJECTION[\"Lambert_Conformal_Conic_2SP\"],"
      "PARAMETER[\"latitude_of_origin\",46.5],PARAMETER[\"central_meridian\",3],"
      "PARAMETER[\"standard_parallel_1\",49],PARAMETER[\"standard_parallel_2\",44],"
      "PARAMETER[\"false_easting\",700000],PARAMETER[\"false_northing\",6600000],UNIT[\"metre\",1]]";
  const std::string wktAlbers =
      "PROJCS[\"NAD83 / Conus Albers\",GEOGCS[\"NAD83\",DATUM[\"North_American_Datum_1983\"]],"
      "PROJECTION[\"Albers_Conic_Equal_Area\"],PARAMETER[\"latitude_of_center\",23]]";
  const std::vector<Case> cases = {
      {"geographic", {Short(1024, 2), Short(2048, 4326)}, "", "1,Lat/Long", "1", "WGS 84"},
      {"user-defined geographic with a datum key", {Short(1024, 2), Short(2048, 32767), Short(2050, 6326)}, "",
       "1,Lat/Long", "1", "User-Defined"},
      {"datum key when the geographic key is absent", {Short(1024, 2), Short(2050, 6326)}, "", "1,Lat/Long", "1",
       "WGS84"},
      {"user-defined projected system: no lookup", {Short(1024, 1), Short(3072, 32767), Short(3074, 16031)}, "",
       "0,UTM,31,N,", "-1", ""},
      {"citation only, cut at its '|'",
       {Short(1024, 1), Short(2048, 4326), Ascii(3073, "UTM Zone 31 N with WGS84"), Ascii(4097, "EGM96 height")},
       "", "0,UTM,31,N,", "-1", "WGS84"},
      {"projection key wins over the citation",
       {Short(1024, 1), Ascii(3073, "Proj_UTM_zone_5S"), Short(3074, 16031)}, "", "0,UTM,31,N,", "-1", ""},
      {"citation alone", {Short(1024, 1), Ascii(3073, "Proj_UTM_zone_5S")}, "", "0,UTM,5,S,", "-1", ""},
      {"catalogue 2SP", {Short(1024, 1), Short(3072, 2154)}, Catalogue(2154, wkt2154),
       "9,Lambert 2SP,49.00000000,44.00000000,46.50000000,3.00000000,700000.00000000,6600000.00000000,", "-1",
       "Reseau Geodesique Francais 1993 v1"},
      {"catalogue datum loses to the file's", {Short(1024, 1), Short(2048, 4326), Short(3072, 32631)},
       Catalogue(32631, kWkt32631),
       "3,Transversal Mercator,3.00000000,0.00000000,0.00000000,500000.00000000,0.99960000,", "-1", "WGS 84"},
      {"failing translation still sends the text", {Short(1024, 1), Short(3072, 5070)}, Catalogue(5070, wktAlbers),
       "", "-1", "North American Datum 1983"},
      {"no projection information at all", {Short(1024, 1)}, "", "", "-1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDir local;
    if (!c.catalogue.empty()) local.WriteCatalogue(c.catalogue);
    const std::string path = local.Path("map.tif");
    ASSERT_TRUE(geofixture::WriteGeoTiff(path, geofixture::OneTiePoint(40, 30, 2, 41, 0.01, c.keys)));
    const Result r = Calibra(path);
    ASSERT_TRUE(r.ok) << (r.errores.empty() ? "" : r.errores[0]);
    ASSERT_EQ(r.salida.size(), 1u);
    EXPECT_TRUE(r.errores.empty());
    EXPECT_EQ(Line(r.salida[0], "Projection"), c.projection);
    EXPECT_EQ(Line(r.salida[0], "Coordinates"), c.coordinates);
    EXPECT_EQ(Line(r.salida[0], "Datum"), c.datum);
  }
}

TEST_F(Calibracion, FailuresSendOneMessageAndNoText) {
  const char* kNoGeo =
      "The TIF map you are trying to open has not geographic information in it. Try the Import Map "
      "option.If this also fails, you will have to calibrate it manually to be able to open it.";
  const std::vector<double> matrix = {2, 0, 0, 430000, 0, -2, 0, 4600000, 0, 0, 0, 0, 0, 0, 0, 1};
  struct Case {
    const char* name;
    GeoParams params;
    bool writeFile;
    std::string catalogue;
    std::string message;
  };
  GeoParams noScale = geofixture::OneTiePoint(40, 30, 1, 2, 1, {Short(1024, 1)});
  noScale.pixelScale.clear();
  GeoParams noScaleMatrix = noScale;
  noScaleMatrix.matrix = matrix;
  GeoParams matrixOnly;
  matrixOnly.matrix = matrix;
  GeoParams plain;
  GeoParams rejected = noScale;
  rejected.rawDirectory = {1, 1, 0, 1, 5000, 12345, 1, 0};
  const GeoParams utm = geofixture::OneTiePoint(40, 30, 1, 2, 1, {Short(1024, 1), Short(3072, 32631)});
  const std::vector<Case> cases = {
      {"one tiepoint, no scale", noScale, true, "", "Error 4 opening GeoTIFF"},
      {"one tiepoint, no scale, a matrix", noScaleMatrix, true, "", "Error 3 opening GeoTIFF"},
      {"a matrix alone", matrixOnly, true, "", "Error 3 opening GeoTIFF"},
      {"no georeference tags", plain, true, "", kNoGeo},
      {"key directory libgeotiff rejects", rejected, true, "", kNoGeo},
      {"unopenable path", plain, false, "", "Error openning TIF file"},
      {"no catalogue beside the program", utm, true, "", "File not found: "},
      {"code not in the catalogue", utm, true, Catalogue(2062, kWkt32631), "EPSG=32631 not found in wpt_ivro.dat"},
      {"key as last record", utm, true, "EPSG=32631\n", "Error 2 in Twkt_Ivro::Interpreta"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDir local;
    if (!c.catalogue.empty()) local.WriteCatalogue(c.catalogue);
    const std::string path = local.Path("map.tif");
    if (c.writeFile) ASSERT_TRUE(geofixture::WriteGeoTiff(path, c.params));
    const Result r = Calibra(path);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.salida.empty());
    ASSERT_EQ(r.errores.size(), 1u);
    const std::string expected =
        c.message == "File not found: " ? c.message + local.CataloguePath() : c.message;
    EXPECT_EQ(r.errores[0], expected);
  }
}

TEST(CalibracionModule, ExportedUnderBothNames) {
  const auto& p = host::Plugin::Get();
  ASSERT_NE(p.LeeCalibracion, nullptr);
  EXPECT_EQ(p.Symbol("ZeltoPlugIn_Lee_Calibracion"), reinterpret_cast<void*>(p.LeeCalibracion));
  fixture::TempDir dir;
  const std::string path = dir.Path("geo.tif");
  ASSERT_TRUE(geofixture::WriteGeoTiff(
      path, geofixture::OneTiePoint(20, 10, -3.5, 40.25, 0.5, {Short(1024, 2), Short(2048, 4326)})));
  host::Messages salida, errores;
  ASSERT_TRUE(p.LeeCalibracion(path.c_str(), &salida, &errores));
  ASSERT_EQ(salida.texts.size(), 1u);
  EXPECT_TRUE(errores.texts.empty());
  const std::string& text = salida.texts[0];
  EXPECT_EQ(Line(text, "Projection"), "1,Lat/Long");
  EXPECT_EQ(Line(text, "Datum"), "WGS 84");
  // The 0.5 is added in map units, degrees included.
  EXPECT_EQ(Line(text, "P1"), "20.0000000,10.0000000,A,7.0000000,34.7500000");

  // Null callbacks are not called.
  EXPECT_FALSE(p.LeeCalibracion(dir.Path("none.tif").c_str(), nullptr, nullptr));
  EXPECT_TRUE(p.LeeCalibracion(path.c_str(), nullptr, nullptr));
}

}  // namespace

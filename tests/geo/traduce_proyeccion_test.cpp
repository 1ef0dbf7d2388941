#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DString.h"
#include "GeoTiffDLL.h"
#include "geo/traduce_proyeccion.h"

namespace {

TEST(LimpiaNombreDatum, Table) {
  struct Case {
    const char* in;
    const char* out;
  };
  for (Case c : {Case{"GCS_WGS_84", "WGS 84"}, Case{"Datum_European_Datum_1950", "European Datum 1950"},
                 Case{"GCS_ED50", "ED50"}, Case{"User-Defined", "User-Defined"}, Case{"", ""},
                 Case{nullptr, ""}, Case{"GCS_Datum_X", "X"}, Case{"Datum_GCS_X", "GCS X"},
                 Case{"gcs_X", "gcs X"}, Case{"GCS_", ""}}) {
    SCOPED_TRACE(c.in != nullptr ? c.in : "(null)");
    EXPECT_STREQ(Limpia_NombreDatum(c.in).Texto(), c.out);
  }
}

struct Case {
  const char* descripcion;
  const char* wkt;
  int transfCoord;
  bool ok;
  const char* proyeccion;  // after the call
  const char* error;       // after the call ("" when untouched)
  const char* datum;       // after the call (starts as "keep")
};
// Named, so that the test framework does not print the padding bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << c.descripcion << " / " << c.wkt << " / " << c.transfCoord; }

constexpr char kClaves[] = "1.50000000,2.50000000,3.50000000,-4.25000000,500000.00000000,10.12500000,";
constexpr char kTm[] =
    "Transverse_Mercator,latitude_of_origin=0,central_meridian=3,scale_factor=0.9996,false_easting=500000,"
    "false_northing=0";
constexpr char kNoSePuede[] = "Error, ZeltoPlugIn_TIFF cannot read this projection ";

std::string Con(const char* a, const char* b) { return std::string(a) + b; }

class TraduceProyeccion : public ::testing::TestWithParam<Case> {};

TEST_P(TraduceProyeccion, Translates) {
  const Case& c = GetParam();
  TDatosGeoTiffDLL datos;
  std::memset(&datos, 0, sizeof datos);
  datos.Paralelo1 = 1.5;
  datos.Paralelo2 = 2.5;
  datos.LatOrigen = 3.5;
  datos.LongOrigen = -4.25;
  datos.FalsoEste = 500000;
  datos.FalsoNorte = 10.125;
  datos.TransfCoord = c.transfCoord;
  DString proyeccion(c.descripcion), wkt(c.wkt), error, datum("keep");
  EXPECT_EQ(Traduce_Proyeccion(proyeccion, &datos, wkt, error, datum), c.ok);
  EXPECT_STREQ(proyeccion.Texto(), c.proyeccion);
  EXPECT_STREQ(error.Texto(), c.error);
  EXPECT_STREQ(datum.Texto(), c.datum);
}

const std::string k99Utm = Con("99,Proj_UTM_zone_,", kClaves);
const std::string k99Utm31 = Con("99,Proj_UTM_zone_31,", kClaves);
const std::string k99UtmN = Con("99,Proj_UTM_zone_N,", kClaves);
const std::string k99Lower = Con("99,UTM zone 31 N with WGS84,", kClaves);
const std::string k99Albers = Con("99,Albers,", kClaves);
const std::string k99AlbersCase = Con("99,albers Equal Area North American 1927,", kClaves);
const std::string kLambertClaves = Con("9,Lambert 2SP,", kClaves);
const std::string kErrorAlbers = Con(kNoSePuede, "Albers_Conic_Equal_Area");
const std::string kErrorTransf0 = Con(kNoSePuede, "ProjCoordTransGeoKey=0");
const std::string kErrorTransf1 = Con(kNoSePuede, "ProjCoordTransGeoKey=1");

INSTANTIATE_TEST_SUITE_P(
    Descriptions, TraduceProyeccion,
    ::testing::Values(
        Case{"Proj_UTM_zone_31N", "", 0, true, "0,UTM,31,N,", "", "keep"},
        Case{"Proj_UTM_zone_60S", "", 0, true, "0,UTM,60,S,", "", "keep"},
        Case{"Proj_UTM_zone_1N", "", 0, true, "0,UTM,1,N,", "", "keep"},
        // No digits, or no hemisphere after them: not a UTM name.
        Case{"Proj_UTM_zone_", "", 0, true, k99Utm.c_str(), "", "keep"},
        Case{"Proj_UTM_zone_31", "", 0, true, k99Utm31.c_str(), "", "keep"},
        Case{"Proj_UTM_zone_N", "", 0, true, k99UtmN.c_str(), "", "keep"},
        Case{"UTM Zone 31N with WGS84", "", 0, false, "UTM Zone 31N with WGS84", "Error in UTM Zone format", "keep"},
        Case{"UTM Zone 31 N WGS84 datum", "", 0, false, "UTM Zone 31 N WGS84 datum", "Error 2 in UTM Zone format",
             "keep"},
        Case{"UTM Zone 31 N with WGS 84", "", 0, true, "0,UTM,31,N,", "", "WGS"},
        Case{"UTM Zone 31 S with WGS84 and more", "", 0, true, "0,UTM,31,S,", "", "WGS84"},
        Case{"UTM zone 31 N with WGS84", "", 0, true, k99Lower.c_str(), "", "keep"},
        Case{"Albers Equal Area North American 1927", "", 0, true, k99Albers.c_str(), "", "keep"},
        Case{"albers Equal Area North American 1927", "", 0, true, k99AlbersCase.c_str(), "", "keep"},
        // The description wins over the catalogue's text.
        Case{"Proj_UTM_zone_5N", kTm, 0, true, "0,UTM,5,N,", "", "keep"}));

INSTANTIATE_TEST_SUITE_P(
    Wkt, TraduceProyeccion,
    ::testing::Values(
        Case{"", kTm, 0, true, "3,Transversal Mercator,3.00000000,0.00000000,0.00000000,500000.00000000,0.99960000,",
             "", "keep"},
        Case{"",
             "Lambert_Conformal_Conic_1SP,latitude_of_origin=0,central_meridian=3,scale_factor=0.9996,"
             "false_easting=500000,false_northing=0",
             0, true, "9,Lambert 1SP,0.00000000,3.00000000,500000.00000000,0.00000000,0.99960000,", "", "keep"},
        Case{"", "Transverse_Mercator,central_meridian=-3,false_easting=500000", 0, true,
             "3,Transversal Mercator,-3.00000000,0.00000000,0.00000000,500000.00000000,0.00000000,", "", "keep"},
        // A blank before the value, unknown names, a repeated name (the last counts).
        Case{"", "Transverse_Mercator,central_meridian= 3,unit=7,scale_factor=2,scale_factor=0.5", 0, true,
             "3,Transversal Mercator,3.00000000,0.00000000,0.00000000,0.00000000,0.50000000,", "", "keep"},
        Case{"", "Transverse_Mercator,central_meridian=3,scale_factor0.9996", 0, false, "",
             "Error 1 int TIF TProyeccion_Lee_Geotifscale_factor0.9996", "keep"},
        Case{"", "Transverse_Mercator,=3", 0, false, "", "Error 1 int TIF TProyeccion_Lee_Geotif=3", "keep"},
        Case{"", "Lambert_Conformal_Conic_1SP,central_meridian", 0, false, "",
             "Error 2 int TIF TProyeccion_Lee_Geotifcentral_meridian", "keep"},
        Case{"",
             "Lambert_Conformal_Conic_2SP,standard_parallel_1=49,standard_parallel_2=44,latitude_of_origin=46.5,"
             "central_meridian=3,false_easting=700000,false_northing=6600000",
             0, true,
             "9,Lambert 2SP,49.00000000,44.00000000,46.50000000,3.00000000,700000.00000000,6600000.00000000,", "",
             "keep"},
        Case{"", "Lambert_Conformal_Conic_2SP,standard_parallel_1", 0, false, "",
             "Error 3 int TIF TProyeccion_Lee_Geotifstandard_parallel_1", "keep"},
        Case{"", "Albers_Conic_Equal_Area,standard_parallel_1=29.5", 0, false, "", kErrorAlbers.c_str(), "keep"}));

INSTANTIATE_TEST_SUITE_P(Keys, TraduceProyeccion,
                         ::testing::Values(Case{"", "", 8, true, kLambertClaves.c_str(), "", "keep"},
                                           Case{"", "", 0, false, "", kErrorTransf0.c_str(), "keep"},
                                           Case{"", "", 1, false, "", kErrorTransf1.c_str(), "keep"}));

}  // namespace

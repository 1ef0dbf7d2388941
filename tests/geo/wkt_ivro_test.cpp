#include <gtest/gtest.h>

#include <string>

#include "DString.h"
#include "geo/wkt_ivro.h"
#include "program_dir.h"

namespace {

struct Lookup {
  bool ok;
  std::string datum, proyeccion, error;
};

Lookup Interpreta(int epsg) {
  DString datum("untouched"), proyeccion("untouched"), error;
  Lookup r;
  r.ok = WktIvro.Interpreta(epsg, datum, proyeccion, error);
  r.datum = datum.Texto();
  r.proyeccion = proyeccion.Texto();
  r.error = error.Texto();
  return r;
}

const std::string kWkt = kWkt32631;

TEST(WktIvro, FindsTheEntryPastCommentsBlankLinesAndKeysThatDoNotMatch) {
  struct Case {
    const char* name;
    std::string catalogue;
  };
  const std::string other = "PROJCS[\"x\",GEOGCS[\"y\",DATUM[\"OTHER\"]],PROJECTION[\"Other\"]]\n";
  const Case cases[] = {
      {"plain", "EPSG=32631\n" + kWkt + "\n"},
      {"comment and blank between", "; header\nEPSG=32631\n; the WKT follows\n\n   \n" + kWkt + "\n"},
      {"keys that must not match",
       "EPSG = 32631\n" + other + "epsg=32631\n" + other + "EPSG=032631\n" + other + "EPSG=326310\n" + other +
           "EPSG=3263\n" + other + "EPSG=32631\n" + kWkt + "\n"},
      {"trailing comment on the key", "EPSG=32631 ; UTM 31N\n" + kWkt + "\n"},
      {"CR LF lines, blanks around", "EPSG=2062\r\n" + other + "  EPSG=32631\t\r\n" + kWkt + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDir program;
    program.WriteCatalogue(c.catalogue);
    const Lookup r = Interpreta(32631);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.datum, "WGS_1984");
    EXPECT_EQ(r.proyeccion, kTm32631);
    EXPECT_EQ(r.error, "");
  }
}

TEST(WktIvro, Failures) {
  struct Case {
    const char* name;
    std::string catalogue;  // "" writes no file
    std::string error;
  };
  const Case cases[] = {
      {"not listed", "EPSG=2062\n" + kWkt + "\n", "EPSG=32631 not found in wpt_ivro.dat"},
      {"only keys of another form", "EPSG = 32631\n" + kWkt + "\nepsg=32631\n" + kWkt + "\n",
       "EPSG=32631 not found in wpt_ivro.dat"},
      {"VOID ends the scan", "EPSG=2062\n" + kWkt + "\nVOID\nEPSG=32631\n" + kWkt + "\n",
       "EPSG=32631 not found in wpt_ivro.dat"},
      {"key as last record", "EPSG=2062\n" + kWkt + "\nEPSG=32631\n; nothing after\n\n",
       "Error 2 in Twkt_Ivro::Interpreta"},
      {"key right before VOID", "EPSG=32631\nVOID\n" + kWkt + "\n", "Error 2 in Twkt_Ivro::Interpreta"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDir program;
    program.WriteCatalogue(c.catalogue);
    const Lookup r = Interpreta(32631);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.datum, "untouched");
    EXPECT_EQ(r.proyeccion, "untouched");
  }
}

TEST(WktIvro, MissingCatalogueNamesThePathTried) {
  ProgramDir program;
  const Lookup r = Interpreta(32631);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "File not found: " + program.CataloguePath());
  EXPECT_EQ(r.datum, "untouched");
}

TEST(WktIvro, PlainTextExtraction) {
  struct Case {
    const char* name;
    const char* wkt;
    const char* datum;
    const char* proyeccion;
  };
  const Case cases[] = {
      {"blank after a comma", "PROJCS[\"a\",PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"central_meridian\", 3]]",
       "untouched", "Transverse_Mercator,central_meridian= 3"},
      {"no PROJECTION", "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.25]]]", "WGS_1984",
       "untouched"},
      {"parameters before PROJECTION are not collected; only the first DATUM counts",
       "PROJCS[\"a\",PARAMETER[\"early\",1],DATUM[\"First\"],DATUM[\"Second\"],PROJECTION[\"P\"],"
       "PARAMETER[\"k\",2]]",
       "First", "P,k=2"},
      {"cut short at the end of the record", "PROJCS[\"a\",PROJECTION[\"P\"],PARAMETER[\"k\"", "untouched",
       "P,k="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramDir program;
    program.WriteCatalogue(std::string("EPSG=32631\n") + c.wkt + "\n");
    const Lookup r = Interpreta(32631);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.datum, c.datum);
    EXPECT_EQ(r.proyeccion, c.proyeccion);
  }
}

}  // namespace

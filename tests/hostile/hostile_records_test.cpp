// Over-long and malformed outside data at the georeferencing and record
// readers: every field stays terminated inside its room.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <geokeys.h>
#include <geovalues.h>

#include "../geo/program_dir.h"
#include "DString.h"
#include "GeoTiffDLL.h"
#include "files/fichero_itv.h"
#include "geo/wkt_ivro.h"
#include "geotiff_fixture.h"
#include "plugin_host.h"

namespace {

bool TerminatedInside(const char* field, size_t room) { return std::memchr(field, 0, room) != nullptr; }

TEST(HostileGeoTiff, OverlongCitationsManyKeysAndSixTiepointsStayInTheirFields) {
  using namespace geofixture;
  ProgramDir program;
  program.WriteCatalogue(std::string("EPSG=32631\n") + kWkt32631 + "\n");
  GeoParams params;
  params.width = 10;
  params.height = 10;
  for (int i = 0; i < 6; ++i) {
    const double p[] = {double(i), double(i), 0, 1000.0 + i, 2000.0 - i, 0};
    params.tiepoints.insert(params.tiepoints.end(), p, p + 6);
  }
  // A raw directory: libgeotiff's own writer cannot hold this many unknown keys.
  const std::string pcs(5000, 'p'), gt(3000, 'g'), geog(700, 'c');
  params.rawAscii = pcs + "|" + gt + "|" + geog + "|";
  params.rawDirectory = {1, 1, 0, 0,
                       GTModelTypeGeoKey, 0, 1, ModelTypeProjected,
                       ProjectedCSTypeGeoKey, 0, 1, 32631,
                       PCSCitationGeoKey, 34737, uint16_t(pcs.size() + 1), 0,
                       GTCitationGeoKey, 34737, uint16_t(gt.size() + 1), uint16_t(pcs.size() + 1),
                       GeogCitationGeoKey, 34737, uint16_t(geog.size() + 1), uint16_t(pcs.size() + gt.size() + 2)};
  // Unknown keys, each listed in OtrasClaves until its room runs out.
  for (uint16_t id = 5000; id < 5200; ++id) params.rawDirectory.insert(params.rawDirectory.end(), {id, 0, 1, id});
  params.rawDirectory[3] = uint16_t(params.rawDirectory.size() / 4 - 1);
  params.rawDoubles = {0.0};
  const std::string path = program.Path("long.tif");
  ASSERT_TRUE(WriteGeoTiff(path, params));

  TDatosGeoTiffDLL d;
  std::memset(&d, 0x5A, sizeof d);
  DString error;
  ASSERT_EQ(Lee_GeoTIFF(path.c_str(), &d, error), 1) << error.Texto();
  EXPECT_EQ(d.NumTiePoints, 4);
  EXPECT_EQ(d.TiePoints[23], 0.0);  // the fourth point's Z
  EXPECT_EQ(d.TiePoints[21], 1003.0);
  for (const auto& f : {std::make_pair(d.NombreGCS, sizeof d.NombreGCS), {d.NombreGeografico, sizeof d.NombreGeografico},
                        {d.NombreDatum, sizeof d.NombreDatum}, {d.NombrePCS, sizeof d.NombrePCS},
                        {d.NombreProyeccion, sizeof d.NombreProyeccion}, {d.CitaPCS, sizeof d.CitaPCS},
                        {d.OtrasClaves, sizeof d.OtrasClaves}})
    EXPECT_TRUE(TerminatedInside(f.first, f.second));
  EXPECT_EQ(std::string(d.CitaPCS), std::string(sizeof d.CitaPCS - 1, 'p'));

  host::Messages output, errors;
  host::Plugin::Get().LeeCalibracion(path.c_str(), &output, &errors);
  EXPECT_EQ(output.texts.size() + errors.texts.size(), 1u);
}

TEST(HostileCatalogue, LinesOf19999AndMoreAreCutAndTheNextLineStillFound) {
  fixture::TempDir dir;
  const std::string path = dir.Path("records.txt");
  const std::string text = std::string(19998, 'a') + "\n" + std::string(19999, 'b') + "\n" +
                           std::string(30000, 'c') + "\nlast\n";
  fixture::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
  TFicheroITV f;
  ASSERT_TRUE(f.Abre(DString(path.c_str()), FITV_LECTURA | FITV_TEXTO));
  DString r;
  f.LeeRegistro(r);
  EXPECT_EQ(r.Longitud(), 19998);
  f.LeeRegistro(r);
  EXPECT_EQ(r.Longitud(), 19999);
  f.LeeRegistro(r);
  EXPECT_EQ(r.Longitud(), 19999);
  f.LeeRegistro(r);
  EXPECT_STREQ(r.Texto(), "last");

  // The same through the catalogue: an over-long WKT still gives its datum.
  ProgramDir program;
  program.WriteCatalogue("EPSG=1\n" + std::string(25000, 'x') + "\nEPSG=2\nPROJCS[\"y\",DATUM[\"D2\"]" +
                         std::string(24000, ',') + "]\n");
  DString datum, proyeccion, err;
  ASSERT_TRUE(WktIvro.Interpreta(2, datum, proyeccion, err)) << err.Texto();
  EXPECT_STREQ(datum.Texto(), "D2");
}

TEST(HostileCatalogue, UnbalancedWktRecordsAreReadToTheirEnd) {
  struct Case {
    const char* wkt;
    const char* datum;
    const char* proyeccion;
  };
  const Case cases[] = {
      {"DATUM[\"open quote", "open quote", "-"},
      {"DATUM[", "", "-"},
      {"DATUM[\"", "", "-"},
      {"PROJECTION[", "-", ""},
      {"PROJECTION[\"TM\",PARAMETER[", "-", "TM,="},
      {"PROJECTION[\"TM\",PARAMETER[\"a\",1", "-", "TM,a=1"},
      {"PROJECTION[\"TM\",PARAMETER[\"a", "-", "TM,a="},
      {"PROJECTION[\"TM\"]]]]PARAMETER[\"b\",2]]]", "-", "TM,b=2"},
  };
  ProgramDir program;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wkt);
    program.WriteCatalogue(std::string("EPSG=9\n") + c.wkt + "\n");
    DString datum("-"), proyeccion("-"), err;
    ASSERT_TRUE(WktIvro.Interpreta(9, datum, proyeccion, err)) << err.Texto();
    EXPECT_STREQ(datum.Texto(), c.datum);
    EXPECT_STREQ(proyeccion.Texto(), c.proyeccion);
  }
}

}  // namespace

// A temporary directory that plays the host program's directory, so the WKT
// catalogue can be put "beside the program".
#ifndef ZELTO_TEST_PROGRAM_DIR_H
#define ZELTO_TEST_PROGRAM_DIR_H

#include <cstdio>
#include <string>

#include "files/nombre_fichero.h"
#include "platform/process_info.h"
#include "tiff_fixture.h"

class ProgramDir {
 public:
  ProgramDir() {
    platform::OverrideProgramArgument0(dir_.Path("host").c_str());
    OlvidaDirectorioDelPrograma();
  }
  ~ProgramDir() {
    platform::RestoreProgramArgument0();
    OlvidaDirectorioDelPrograma();
  }
  ProgramDir(const ProgramDir&) = delete;
  ProgramDir& operator=(const ProgramDir&) = delete;

  std::string CataloguePath() const { return dir_.Path("WKT_IVRO.DAT"); }
  void WriteCatalogue(const std::string& text) const {
    std::FILE* f = std::fopen(CataloguePath().c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  std::string Path(const std::string& name) const { return dir_.Path(name); }

 private:
  fixture::TempDir dir_;
};

// The usual OGC WKT of WGS 84 / UTM zone 31N, on one line.
inline const char* const kWkt32631 =
    "PROJCS[\"WGS 84 / UTM zone 31N\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
    "298.257223563,AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0],"
    "UNIT[\"degree\",0.0174532925199433],AUTHORITY[\"EPSG\",\"4326\"]],PROJECTION[\"Transverse_Mercator\"],"
    "PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",3],PARAMETER[\"scale_factor\",0.9996],"
    "PARAMETER[\"false_easting\",500000],PARAMETER[\"false_northing\",0],UNIT[\"metre\",1],"
    "AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH],AUTHORITY[\"EPSG\",\"32631\"]]";

inline const char* const kTm32631 =
    "Transverse_Mercator,latitude_of_origin=0,central_meridian=3,scale_factor=0.9996,false_easting=500000,"
    "false_northing=0";

#endif

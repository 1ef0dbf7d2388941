#include "fuzz_common.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "files/nombre_fichero.h"
#include "platform/process_info.h"

namespace fuzzing {

const std::string& WorkDir() {
  static const std::string dir = [] {
    // The script points this at a folder it removes after the run.
    const char* base = std::getenv("ZELTO_FUZZ_TMP");
    if (base == nullptr || *base == '\0') base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string templ = std::string(base) + "/zelto-fuzz-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) std::abort();
    return templ;
  }();
  return dir;
}

std::string WriteScratch(const std::string& name, const void* data, size_t size) {
  const std::string path = WorkDir() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

void UseWorkDirAsProgramDir() {
  static const std::string program = WorkDir() + "/host";
  platform::OverrideProgramArgument0(program.c_str());
  OlvidaDirectorioDelPrograma();
}

void WriteCatalogue(const void* data, size_t size) { WriteScratch("WKT_IVRO.DAT", data, size); }

const char kDefaultCatalogue[] =
    "EPSG=32631\n"
    "PROJCS[\"WGS 84 / UTM zone 31N\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
    "298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],"
    "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",3],"
    "PARAMETER[\"scale_factor\",0.9996],PARAMETER[\"false_easting\",500000],PARAMETER[\"false_northing\",0],"
    "UNIT[\"metre\",1]]\n"
    "EPSG=4326\n"
    "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0]]\n"
    "EPSG=23030\n"
    "PROJCS[\"ED50 / UTM zone 30N\",GEOGCS[\"ED50\",DATUM[\"European_Datum_1950\",SPHEROID[\"International 1924\","
    "6378388,297]]],PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"central_meridian\",-3]]\n";

namespace {
void Count(TTextCallback* self, const char* text) {
  // Reading the whole text catches a missing terminator.
  static_cast<Sink*>(self)->bytes += std::strlen(text);
}
}  // namespace

Sink::Sink() : TTextCallback{&Count} {}

}  // namespace fuzzing

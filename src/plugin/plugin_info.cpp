#include "export_alias.h"
#include "tifferror/tiff_error_capture.h"

namespace {
char gVersionText[] = "Zeltomap TIF plug-in, version 1.02";
char gFileTypes[] = "1001|TIF Images|TIF|2|geo TIF maps|TIF|";
}  // namespace

extern "C" {

int32_t ZeltoPlugIn_Version(void) { return 4; }
bool ZeltoPlugIn_Init(void) { return true; }
const char* ZeltoPlugIn_VersionStr(void) { return gVersionText; }
const char* ZeltoPlugIn_GetTipoArchivos(void) { return gFileTypes; }

}  // extern "C"

ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Version)
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Init)
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_VersionStr)
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_GetTipoArchivos)

char* Get_TIFF_Error() { return TiffErrorText(); }

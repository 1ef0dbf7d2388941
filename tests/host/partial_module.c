/* Stands for a module whose raster and calibration entry points are absent. */
__attribute__((visibility("default"))) int _ZeltoPlugIn_Version(void) { return 4; }
__attribute__((visibility("default"))) _Bool _ZeltoPlugIn_Init(void) { return 1; }
__attribute__((visibility("default"))) const char* _ZeltoPlugIn_VersionStr(void) { return "partial"; }
__attribute__((visibility("default"))) const char* _ZeltoPlugIn_GetTipoArchivos(void) { return "1001|TIF Images|TIF|"; }

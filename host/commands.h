// The subcommands of the command-line host; each returns the exit status or
// throws HostError.
#ifndef ZELTO_HOST_COMMANDS_H
#define ZELTO_HOST_COMMANDS_H

#include <cstdint>
#include <string>

#include "host_image.h"
#include "host_records.h"
#include "plugin_module.h"

namespace zhost {

struct ZoneRequest {
  int32_t x0, x1, y0, y1;  // x1 and y1 exclusive
};

int RunInfo(const PluginModule& module, const std::string& path);
int RunCalibrate(const PluginModule& module, const std::string& path, const std::string& outPath);
int RunZone(const PluginModule& module, const std::string& path, const std::string& outPath,
            const ZoneRequest* zone, const int32_t* size, const ProgressOptions& progress);
// depth 0 keeps the input's own depth.
int RunSave(const PluginModule& module, const std::string& inPath, const std::string& outPath, int32_t depth,
            const ProgressOptions& progress);

}  // namespace zhost

#endif

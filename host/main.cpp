// zelto-host: the command-line host. It loads the plug-in module by path and
// drives its entry points as the mapping host does.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"

namespace zhost {
namespace {

const char kMainUsage[] =
    "usage: zelto-host [--plugin PATH] [--progress | --no-progress] COMMAND [ARGS]\n"
    "\n"
    "Loads the TIFF raster plug-in (ZeltoPlugIn_TIFF.so) and calls it as the mapping host does.\n"
    "\n"
    "commands:\n"
    "  info FILE                       module version and file types; size and depth of FILE\n"
    "  calibrate FILE [-o OUT.map]     the calibration text of a GeoTIFF\n"
    "  zone FILE -o OUT.png|OUT.bmp    a zone read written as an image\n"
    "  save IN OUT.tif [--depth N]     a PNG, BMP or TIFF saved through the plug-in's writer\n"
    "\n"
    "options:\n"
    "  --plugin PATH   the module to load (default: $ZELTO_PLUGIN, beside this program,\n"
    "                  the installed module, then the build tree's)\n"
    "  --progress      draw the progress bar even when stderr is not a terminal\n"
    "  --no-progress   never draw it\n"
    "\n"
    "Run 'zelto-host COMMAND --help' for a command's options. Exit status: 0 success, 1 failure,\n"
    "2 bad arguments, 3 an entry point missing from the module, 130 cancelled (Ctrl-C).\n";

const char kInfoUsage[] =
    "usage: zelto-host info [FILE]\n"
    "\n"
    "Prints the module's interface version, version text and file types. With FILE, opens it\n"
    "and prints the width, height and delivered depth the module reports, and the palette\n"
    "count after a first zone read.\n";

const char kCalibrateUsage[] =
    "usage: zelto-host calibrate FILE [-o OUT.map]\n"
    "\n"
    "Prints the calibration text the module builds from the GeoTIFF FILE, or writes it to\n"
    "OUT.map. EPSG-coded projected systems are resolved through WKT_IVRO.DAT beside this\n"
    "program. On failure prints the module's message and exits with status 1.\n";

const char kZoneUsage[] =
    "usage: zelto-host zone FILE -o OUT.png|OUT.bmp [--zone x0,x1,y0,y1] [--size w,h]\n"
    "                      [--cancel-after ROWS]\n"
    "\n"
    "Reads a zone of FILE through the module and writes it as a PNG, or as a BMP straight\n"
    "from the host bitmap.\n"
    "  --zone x0,x1,y0,y1   pixel columns x0..x1-1 and rows y0..y1-1 (default: the whole image)\n"
    "  --size w,h           size of the delivered bitmap (default: the zone's); smaller than the\n"
    "                       zone takes the module's subsampled path\n"
    "  --cancel-after ROWS  act as if Ctrl-C came after ROWS rows (for tests)\n";

const char kSaveUsage[] =
    "usage: zelto-host save IN.png|IN.bmp|IN.tif OUT.tif [--depth 1|4|8|16|24|32]\n"
    "                      [--cancel-after ROWS]\n"
    "\n"
    "Saves the picture IN as the host raster it makes, band by band through the module's\n"
    "writer. A TIFF input is read through the module's reader first.\n"
    "  --depth N            host depth of the raster (default: that of IN); colours that do not\n"
    "                       fit a palette depth are reduced\n"
    "  --cancel-after ROWS  act as if Ctrl-C came after ROWS rows (for tests)\n";

struct Args {
  std::vector<std::string> items;
  size_t next = 0;
  bool More() const { return next < items.size(); }
  const std::string& Take() { return items[next++]; }
};

HostError Usage(const std::string& what, const char* usage) {
  return HostError(what + "\n" + usage, kExitUsage);
}

bool WantsHelp(const std::vector<std::string>& rest) {
  for (const std::string& a : rest)
    if (a == "--help" || a == "-h") return true;
  return false;
}

int32_t ParseInt(const std::string& text, const std::string& option, const char* usage) {
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX) {
    throw Usage(option + ": '" + text + "' is not a whole number", usage);
  }
  return int32_t(v);
}

std::vector<int32_t> ParseList(const std::string& text, size_t count, const std::string& option, const char* usage) {
  std::vector<int32_t> values;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    values.push_back(ParseInt(text.substr(start, comma - start), option, usage));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (values.size() != count) {
    throw Usage(option + " takes " + std::to_string(count) + " comma-separated numbers, not '" + text + "'", usage);
  }
  return values;
}

const std::string& OptionValue(Args& args, const std::string& option, const char* usage) {
  if (!args.More()) throw Usage(option + " needs a value", usage);
  return args.Take();
}

void RejectUnknown(const std::string& arg, const char* usage) {
  if (arg.size() > 1 && arg[0] == '-') throw Usage("unknown option " + arg, usage);
}

int Run(int argc, char** argv) {
  Args args;
  for (int i = 1; i < argc; ++i) args.items.emplace_back(argv[i]);
  std::string pluginPath;
  ProgressOptions progress;
  progress.draw = isatty(STDERR_FILENO) != 0;
  while (args.More() && args.items[args.next].size() > 1 && args.items[args.next][0] == '-') {
    std::string option = args.Take();
    if (option == "--help" || option == "-h") {
      std::fputs(kMainUsage, stdout);
      return 0;
    } else if (option == "--plugin") {
      pluginPath = OptionValue(args, option, kMainUsage);
    } else if (option == "--progress") {
      progress.draw = true;
    } else if (option == "--no-progress") {
      progress.draw = false;
    } else {
      throw Usage("unknown option " + option, kMainUsage);
    }
  }
  if (!args.More()) throw Usage("no command given", kMainUsage);
  std::string command = args.Take();
  std::vector<std::string> rest(args.items.begin() + long(args.next), args.items.end());
  Args sub{rest, 0};

  const char* usage = command == "info"        ? kInfoUsage
                      : command == "calibrate" ? kCalibrateUsage
                      : command == "zone"      ? kZoneUsage
                      : command == "save"      ? kSaveUsage
                                               : nullptr;
  if (command == "help") {
    std::fputs(kMainUsage, stdout);
    return 0;
  }
  if (usage == nullptr) throw Usage("unknown command '" + command + "'", kMainUsage);
  if (WantsHelp(rest)) {
    std::fputs(usage, stdout);
    return 0;
  }

  std::vector<std::string> positional;
  std::string outPath;
  ZoneRequest zone{};
  bool haveZone = false;
  int32_t size[2] = {0, 0};
  bool haveSize = false;
  int32_t depth = 0;
  while (sub.More()) {
    std::string arg = sub.Take();
    if (arg == "-o" && (command == "calibrate" || command == "zone")) {
      outPath = OptionValue(sub, arg, usage);
    } else if (arg == "--zone" && command == "zone") {
      std::vector<int32_t> v = ParseList(OptionValue(sub, arg, usage), 4, arg, usage);
      zone = ZoneRequest{v[0], v[1], v[2], v[3]};
      haveZone = true;
    } else if (arg == "--size" && command == "zone") {
      std::vector<int32_t> v = ParseList(OptionValue(sub, arg, usage), 2, arg, usage);
      size[0] = v[0];
      size[1] = v[1];
      haveSize = true;
    } else if (arg == "--depth" && command == "save") {
      depth = ParseInt(OptionValue(sub, arg, usage), arg, usage);
      if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        throw Usage("--depth must be 1, 4, 8, 16, 24 or 32", usage);
      }
    } else if (arg == "--cancel-after" && (command == "zone" || command == "save")) {
      progress.cancelAfter = ParseInt(OptionValue(sub, arg, usage), arg, usage);
    } else {
      RejectUnknown(arg, usage);
      positional.push_back(arg);
    }
  }

  size_t wanted = command == "save" ? 2 : 1;
  if (positional.size() > wanted || (positional.size() < wanted && command != "info")) {
    throw Usage(command + ": expected " + std::to_string(wanted) + (wanted == 1 ? " file" : " files") + ", got " +
                    std::to_string(positional.size()),
                usage);
  }
  if (command == "zone" && outPath.empty()) throw Usage("zone: -o OUT.png or -o OUT.bmp is required", usage);

  InstallCancelHandler();
  PluginModule module(LocatePlugin(pluginPath));
  if (command == "info") return RunInfo(module, positional.empty() ? std::string() : positional[0]);
  if (command == "calibrate") return RunCalibrate(module, positional[0], outPath);
  if (command == "zone") return RunZone(module, positional[0], outPath, haveZone ? &zone : nullptr, haveSize ? size : nullptr, progress);
  return RunSave(module, positional[0], positional[1], depth, progress);
}

// The module looks for its catalogue in the directory of the path the program
// was started by; started through PATH or a symbolic link, that is not where
// the catalogue lies. Starting again under the real path fixes both.
void RestartUnderRealPath(int argc, char** argv) {
  const char* again = std::getenv("ZELTO_HOST_RESTARTED");
  if (again != nullptr) {
    unsetenv("ZELTO_HOST_RESTARTED");
    return;
  }
  std::string self = ProgramPath();
  if (argc < 1 || self.empty() || self == argv[0]) return;
  std::vector<char*> newArgv(argv, argv + argc);
  newArgv[0] = const_cast<char*>(self.c_str());
  newArgv.push_back(nullptr);
  setenv("ZELTO_HOST_RESTARTED", "1", 1);
  execv(self.c_str(), newArgv.data());
  unsetenv("ZELTO_HOST_RESTARTED");  // not restarted: carry on as started
}

}  // namespace
}  // namespace zhost

int main(int argc, char** argv) {
  zhost::RestartUnderRealPath(argc, argv);
  try {
    return zhost::Run(argc, argv);
  } catch (const zhost::HostError& e) {
    std::fprintf(stderr, "zelto-host: %s\n", e.what());
    return e.ExitCode();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zelto-host: %s\n", e.what());
    return zhost::kExitFailure;
  }
}

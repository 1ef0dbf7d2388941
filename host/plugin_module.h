// The plug-in as a host sees it: a module loaded by path, its entry points
// looked up under their underscore names when first needed.
#ifndef ZELTO_HOST_PLUGIN_MODULE_H
#define ZELTO_HOST_PLUGIN_MODULE_H

#include <stdexcept>
#include <string>

#include "ZeltoPlugIn_TIFF.h"

namespace zhost {

// A failure the host reports and exits on; exitCode is the process status.
class HostError : public std::runtime_error {
 public:
  HostError(const std::string& what, int exitCode = 1) : std::runtime_error(what), exitCode_(exitCode) {}
  int ExitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

// Exit statuses: 0 success, 1 a failed call or file, 2 bad arguments,
// 3 an entry point the module lacks, 130 cancelled (as a shell reports Ctrl-C).
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitMissingEntryPoint = 3;
constexpr int kExitCancelled = 130;

class PluginModule {
 public:
  explicit PluginModule(const std::string& path);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  const std::string& Path() const { return path_; }

  // Throws HostError(kExitMissingEntryPoint) naming the symbol when absent.
  void* Require(const char* symbol) const;
  void* Find(const char* symbol) const;  // nullptr when absent

  template <class F>
  F* Entry(const char* symbol) const { return reinterpret_cast<F*>(Require(symbol)); }

  // libtiff's last error text kept by the module, or empty.
  std::string TiffErrorText() const;

 private:
  std::string path_;
  void* handle_ = nullptr;
};

// Where to load the module from: the explicit path when given, else beside
// the host program, else the installed location, else the build tree's.
std::string LocatePlugin(const std::string& explicitPath);

// The real path of the running program, empty when the system will not say.
std::string ProgramPath();

}  // namespace zhost

#endif

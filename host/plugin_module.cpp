#include "plugin_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <sys/stat.h>

namespace zhost {

PluginModule::PluginModule(const std::string& path) : path_(path) {
  dlerror();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    throw HostError("cannot load the plug-in module " + path + ": " + (why != nullptr ? why : "unknown reason"));
  }
}

PluginModule::~PluginModule() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* PluginModule::Find(const char* symbol) const { return dlsym(handle_, symbol); }

void* PluginModule::Require(const char* symbol) const {
  void* address = Find(symbol);
  if (address == nullptr) {
    throw HostError("the plug-in module " + path_ + " has no entry point " + symbol, kExitMissingEntryPoint);
  }
  return address;
}

std::string PluginModule::TiffErrorText() const {
  // Exported as a C++ function, so the host looks it up by its mangled name.
  auto* getError = reinterpret_cast<char* (*)()>(Find("_Z14Get_TIFF_Errorv"));
  if (getError == nullptr) return std::string();
  const char* text = getError();
  return text != nullptr ? std::string(text) : std::string();
}

std::string ProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::string LocatePlugin(const std::string& explicitPath) {
  if (!explicitPath.empty()) return explicitPath;
  const char* fromEnv = std::getenv("ZELTO_PLUGIN");
  if (fromEnv != nullptr && *fromEnv != '\0') return fromEnv;
  std::string programDir = DirectoryOf(ProgramPath());
  const std::string candidates[] = {
      programDir + "/ZeltoPlugIn_TIFF.so",
      programDir + "/" ZELTO_PLUGIN_INSTALL_RELPATH,
      ZELTO_PLUGIN_BUILD_PATH,
  };
  for (const std::string& candidate : candidates) {
    if (IsRegularFile(candidate)) return candidate;
  }
  throw HostError("cannot find the plug-in module ZeltoPlugIn_TIFF.so (looked beside " + programDir +
                  ", in the installed location and in the build tree); give it with --plugin PATH");
}

}  // namespace zhost

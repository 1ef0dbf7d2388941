#include "platform/process_info.h"

#ifdef _WIN32
#include <direct.h>
#include <stdlib.h>
#else
#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include <vector>
#endif

namespace platform {

namespace {

struct ArgumentOverride {
  bool active = false;
  bool present = false;
  std::string path;
};

ArgumentOverride& Override() {
  static ArgumentOverride state;
  return state;
}

#ifndef _WIN32
// The first NUL-terminated element of /proc/self/cmdline, read once.
const std::string* CommandLineArgument0() {
  static const std::string* const cached = [] () -> const std::string* {
    std::FILE* f = std::fopen("/proc/self/cmdline", "rb");
    if (f == nullptr) return nullptr;
    auto* text = new std::string;
    int c;
    while ((c = std::fgetc(f)) != EOF && c != '\0') text->push_back(static_cast<char>(c));
    std::fclose(f);
    return text;
  }();
  return cached;
}
#endif

}  // namespace

const char* ProgramArgument0() {
  const ArgumentOverride& o = Override();
  if (o.active) return o.present ? o.path.c_str() : nullptr;
#ifdef _WIN32
  return (__argv != nullptr) ? __argv[0] : nullptr;
#else
#ifdef __GLIBC__
  // The C library keeps argv[0] for the whole run, also for a library loaded later.
  if (program_invocation_name != nullptr && *program_invocation_name != '\0') {
    return program_invocation_name;
  }
#endif
  const std::string* fromProc = CommandLineArgument0();
  return (fromProc != nullptr) ? fromProc->c_str() : nullptr;
#endif
}

void OverrideProgramArgument0(const char* path) {
  ArgumentOverride& o = Override();
  o.active = true;
  o.present = path != nullptr;
  o.path = path != nullptr ? path : "";
}

void RestoreProgramArgument0() {
  ArgumentOverride& o = Override();
  o.active = false;
  o.present = false;
  o.path.clear();
}

std::string CurrentDirectory() {
#ifdef _WIN32
  char* text = ::_getcwd(nullptr, 0);
  if (text == nullptr) return std::string();
  std::string result(text);
  std::free(text);
  return result;
#else
  std::vector<char> buffer(256);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
#endif
}

}  // namespace platform

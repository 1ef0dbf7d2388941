// What the process knows about itself: the path it was started by and the
// current directory.
#pragma once

#include <string>

namespace platform {

// The first element of the process's argument vector (the path by which the
// executable was started), or null when the process has no argument vector.
const char* ProgramArgument0();

// Test seam: makes ProgramArgument0 report `path` (null: no argument vector)
// until RestoreProgramArgument0. Not for concurrent use.
void OverrideProgramArgument0(const char* path);
void RestoreProgramArgument0();

// The current directory as a full path; under _WIN32 in the form drive letter,
// colon, backslash, path. Empty when the system cannot tell.
std::string CurrentDirectory();

}  // namespace platform

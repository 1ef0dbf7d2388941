// Runs a program as a user would from a shell: its own process, stdout and
// stderr captured, exit status reported.
#ifndef ZELTO_TEST_RUN_PROCESS_H
#define ZELTO_TEST_RUN_PROCESS_H

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace runproc {

struct Result {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;
  std::string err;
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline Result Run(const std::vector<std::string>& argv, const std::string& scratchDir) {
  std::string outPath = scratchDir + "/.stdout", errPath = scratchDir + "/.stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  Result r;
  pid_t pid = 0;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  r.out = Slurp(outPath);
  r.err = Slurp(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return r;
}

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace runproc

#endif

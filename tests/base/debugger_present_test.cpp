// The debugger probe and the break before a container error.
#include "base/debugger_present.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/vector.h"

namespace {

TEST(DebuggerPresent, TracerPidFromStatus) {
  struct Caso {
    const char* estado;
    long pid;
  };
  const Caso casos[] = {
      {"Name:\tx\nTracerPid:\t0\nUid:\t1\n", 0},
      {"Name:\tx\nTracerPid:\t4711\nUid:\t1\n", 4711},
      {"TracerPid:\t12\n", 12},
      {"Name:\tTracerPid:\t9\nTracerPid:\t0\n", 0},  // only at a line start
      {"Name:\tx\n", 0},
      {"", 0},
      {nullptr, 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.estado ? c.estado : "null");
    EXPECT_EQ(TracerPidDeEstado(c.estado), c.pid);
  }
}

// A child traced by this test: the error must stop it with SIGTRAP before
// the exception is thrown, and continue to the throw when resumed.
TEST(DebuggerPresent, ErrorBreaksIntoTracerThenThrows) {
  pid_t hijo = fork();
  ASSERT_GE(hijo, 0);
  if (hijo == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(77);
    // Let the parent see us traced before the probe runs.
    raise(SIGSTOP);
    if (!HayDepurador()) _exit(2);
    try {
      LanzaError(7);
    } catch (const TXErrorVectoresDG& e) {
      _exit(e.Codigo == 7 ? 0 : 3);
    }
    _exit(4);
  }
  int paradasTrap = 0;
  int estado = 0;
  while (waitpid(hijo, &estado, 0) == hijo && WIFSTOPPED(estado)) {
    int senal = WSTOPSIG(estado);
    if (senal == SIGTRAP) ++paradasTrap;
    ptrace(PTRACE_CONT, hijo, nullptr,
           reinterpret_cast<void*>(static_cast<long>(senal == SIGTRAP || senal == SIGSTOP ? 0 : senal)));
  }
  ASSERT_TRUE(WIFEXITED(estado));
  if (WEXITSTATUS(estado) == 77) GTEST_SKIP() << "ptrace is not available here";
  EXPECT_EQ(WEXITSTATUS(estado), 0);
  EXPECT_EQ(paradasTrap, 1);
}

TEST(DebuggerPresent, UntracedProcessThrowsWithoutBreaking) {
  pid_t hijo = fork();
  ASSERT_GE(hijo, 0);
  if (hijo == 0) {
    if (HayDepurador()) _exit(77);
    try {
      LanzaError(16);
    } catch (const TXErrorVectoresDG& e) {
      _exit(e.Codigo == 16 ? 0 : 3);
    }
    _exit(4);
  }
  int estado = 0;
  ASSERT_EQ(waitpid(hijo, &estado, 0), hijo);
  if (WIFEXITED(estado) && WEXITSTATUS(estado) == 77) GTEST_SKIP() << "the tests run under a tracer";
  ASSERT_TRUE(WIFEXITED(estado));
  EXPECT_EQ(WEXITSTATUS(estado), 0);
}

}  // namespace

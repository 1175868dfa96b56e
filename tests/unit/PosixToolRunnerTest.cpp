// The real PosixToolRunner: a tool's exit status, or -1 when it could not run to its end.
#include "adapters/posix/PosixToolRunner.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace qm {
namespace {

TEST(PosixToolRunner, ReportsTheExitStatusOrMinusOne) {
  // True in the tool when a descriptor the app holds open without close-on-exec did not reach it.
  const std::string unleaked = "[ ! -e /proc/$$/fd/" + std::to_string(dup(2)) + " ]";
  // name, program, arguments, time-out in seconds, status
  std::tuple<const char*, std::string, std::vector<std::string>, double, int> rows[] = {
      {"exit status", "/bin/sh", {"-c", "exit 3"}, 20, 3},
      {"verbatim, on PATH", "sh", {"-c", "[ \"$1|$2|$#\" = 'a b||2' ]", "", "a b", ""}, 20, 0},
      {"output written away", "/bin/sh", {"-c", "echo out && echo err >&2"}, 20, 0},
      {"no descriptor of the app's", "/bin/sh", {"-c", unleaked}, 20, 0},
      {"no time-out given", "/bin/sh", {"-c", "exit 4"}, 0, 4},
      {"missing program", "/nonexistent/tool", {}, 20, -1},
      {"killed by a signal", "/bin/sh", {"-c", "kill -9 $$"}, 20, -1},
      {"killed at its time-out", "/bin/sh", {"-c", "sleep 2; exit 0"}, 0.3, -1},
  };
  PosixToolRunner runner;
  for (auto& [name, program, args, timeout, status] : rows) {
    SCOPED_TRACE(name);
    EXPECT_EQ(runner.run(program, args, timeout), status);
  }
}

}  // namespace
}  // namespace qm

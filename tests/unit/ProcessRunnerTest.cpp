#include "service/ProcessRunner.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <string>

#include "app/Files.h"
#include "fakes/TempHome.h"

namespace qm::service {
namespace {

// Dead, or a zombie waiting for a reaper that a container may not have.
bool gone(pid_t pid) {
  if (::kill(pid, 0) != 0) return true;
  auto stat = files::read("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return true;
  auto close = stat->rfind(')');
  return close != std::string::npos && stat->size() > close + 2 && (*stat)[close + 2] == 'Z';
}

TEST(ProcessRunner, ExitStatuses) {
  struct Case {
    std::string program;
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {"/bin/sh", {"-c", "exit 0"}, 0},
      {"/bin/sh", {"-c", "exit 3"}, 3},
      {"sh", {"-c", "exit 7"}, 7},                   // found on PATH
      {"/bin/sh", {"-c", "kill -9 $$"}, -1},         // died by a signal
      {"/bin/sh", {"-c", "read line; exit $?"}, 1},  // stdin is empty, not the terminal
      {"/nonexistent/tool", {}, -1},
  };
  ProcessRunner runner;
  for (auto& c : cases) EXPECT_EQ(runner.run(c.program, c.args, 20), c.status) << c.program;
}

TEST(ProcessRunner, PassesArgumentsVerbatimAndInOrder) {
  test::TempHome home;
  std::string out = home.path() + "/args";
  std::vector<std::string> args = {
      "-c",    "for a in \"$@\"; do printf '%s|' \"$a\"; done > \"$0\"",
      out,     "bootout",
      "a b",   "",
      "$HOME", "q\"uo'te",
      "*"};
  ProcessRunner runner;
  ASSERT_EQ(runner.run("/bin/sh", args, 20), 0);
  EXPECT_EQ(files::read(out), "bootout|a b||$HOME|q\"uo'te|*|");
}

TEST(ProcessRunner, WaitsOnlyForTheToolAndKillsWhatAnOverdueToolStarted) {
  struct Case {
    const char* script;  // starts a child and writes its pid to "$0"
    double limit;
    int status;
    bool childGone;
  } cases[] = {
      {"sleep 60 & echo $! > \"$0\"; exit 4", 30, 4, false},
      {"trap '' TERM; sleep 60 & echo $! > \"$0\"; wait", 3, -1, true},  // ignores TERM
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.script);
    test::TempHome home;
    std::string pidFile = home.path() + "/child";
    EXPECT_EQ(ProcessRunner().run("/bin/sh", {"-c", c.script, pidFile}, c.limit), c.status);
    auto text = files::read(pidFile);
    pid_t child = text ? static_cast<pid_t>(std::stol(files::trim(*text))) : 0;
    ASSERT_GT(child, 0);
    for (int i = 0; c.childGone && i < 500 && !gone(child); ++i) ::usleep(10000);
    EXPECT_EQ(gone(child), c.childGone);
    ::kill(child, SIGKILL);
  }
}

}  // namespace
}  // namespace qm::service

// The intro sound in a child process: the real quarn-sound helper, driven as the app drives it.
#include "adapters/glib/GlibSoundPlayer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "core/Files.h"
#include "fakes/Spin.h"
#include "fakes/TempHome.h"

namespace qm {
namespace {

// A player that says "playing", then hears neither "stop" nor the closed pipe nor SIGTERM.
struct StuckHelper {
  test::TempHome home;
  std::string helper = home.path() + "/stuck", pidFile = home.path() + "/pid";
  StuckHelper() {
    test::writeFile(helper,
                    "#!/bin/sh\ntrap '' TERM HUP PIPE\necho $$ > " + pidFile + ".new && mv " +
                        pidFile + ".new " + pidFile + "\necho playing\nexec sleep 600 </dev/null\n",
                    0755);
  }
  pid_t pid() { return std::stoi(files::read(pidFile).value_or("0")); }
  // Ended and reaped, or left for its new parent to reap.
  bool ended() {
    auto stat = files::read("/proc/" + std::to_string(pid()) + "/stat");
    return !stat || stat->find(") Z ") != std::string::npos;
  }
  ~StuckHelper() {
    if (pid() > 0) kill(pid(), SIGKILL);
  }
};

// Stopped, or left playing by an app that dies (in a process of its own): the player ends.
TEST(GlibSound, APlayerThatDoesNotStopIsKilledSoonAfterOrWithTheApp) {
  for (bool appDies : {false, true}) {
    SCOPED_TRACE(appDies);
    StuckHelper stuck;
    pid_t app = appDies ? fork() : 0;
    if (app == 0) {
      auto sound = makeHelperSoundPlayer(stuck.helper)->open(stuck.helper);
      bool started = false;
      sound->play([&](bool ok) { started = ok; });
      bool up = test::spinUntil([&] { return started && stuck.pid() > 0; });
      if (appDies) _exit(0);
      ASSERT_TRUE(up);
      sound->stop();
    }
    ASSERT_TRUE(app == 0 || waitpid(app, nullptr, 0) == app);
    ASSERT_GT(stuck.pid(), 0);
    EXPECT_TRUE(test::spinUntil([&] { return stuck.ended(); }));
  }
}

}  // namespace
}  // namespace qm

// The service operations with real parts: the process runner, a stand-in for the service
// manager's tool, the GLib loop and libsoup probing the sample suite server on loopback.
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "app/AppDelegate.h"
#include "app/Files.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/LoopbackServer.h"
#include "fakes/TempHome.h"
#include "platform/soup/GlibLoop.h"
#include "platform/soup/SoupHttp.h"
#include "service/ProcessRunner.h"

namespace qm {
namespace {

// Records its arguments and plays the service manager: starts the program that the definition
// names on "bootstrap", "restart" and "kickstart", stops it on "bootout" and "disable".
constexpr const char* kStandIn = R"(
import json, os, plistlib, shlex, signal, subprocess, sys
STATE = os.environ["QUARN_TEST_STATE"]
UNIT = os.path.join(os.environ["HOME"], ".config/systemd/user/app.quillmarsh.quarn.service")
args = sys.argv[1:]
with open(os.path.join(STATE, "calls"), "a") as f:
    f.write(json.dumps(args) + "\n")

def stop():
    try:
        with open(os.path.join(STATE, "pid")) as f:
            os.killpg(int(f.read()), signal.SIGKILL)
    except (OSError, ValueError):
        pass

def definition():
    if args[0] == "--user":
        with open(UNIT) as f:
            unit = dict(l.split("=", 1) for l in f.read().splitlines() if "=" in l)
        unq = lambda s: s.replace("%%", "%").replace("$$", "$")
        argv = [unq(w) for w in shlex.split(unit["ExecStart"])]
        log = unq(unit["StandardOutput"][len("append:"):])
        return argv, unq(unit["WorkingDirectory"]), log
    path = args[2] if args[0] == "bootstrap" else os.path.join(
        os.environ["HOME"], "Library/LaunchAgents/app.quillmarsh.quarn.plist")
    with open(path, "rb") as f:
        p = plistlib.load(f)
    return p["ProgramArguments"], p["WorkingDirectory"], p["StandardOutPath"]

def start():
    stop()
    argv, cwd, log = definition()
    with open(log, "ab") as out:
        proc = subprocess.Popen(argv, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=out, start_new_session=True)
    with open(os.path.join(STATE, "pid"), "w") as f:
        f.write(str(proc.pid))
    with open(os.path.join(STATE, "pids"), "a") as f:
        f.write(str(proc.pid) + "\n")

verb = args[1] if args[0] == "--user" else args[0]
if verb in ("bootout", "disable"):
    stop()
elif verb in ("bootstrap", "restart", "kickstart"):
    try:
        start()
    except OSError:
        sys.exit(1)
)";

// Runs the sample with this test's port and the service folder's data folder.
constexpr const char* kServerWrapper = R"(
import os, sys
os.execv(sys.executable, [sys.executable, os.environ["QUARN_TEST_SAMPLE"], "--host",
                          "127.0.0.1", "--port", os.environ["QUARN_TEST_PORT"], "--data",
                          os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")])
)";

std::optional<std::string> found(const char* name) {
  gchar* p = g_find_program_in_path(name);
  if (!p) return std::nullopt;
  std::string s = p;
  g_free(p);
  return s;
}

int freeLoopbackPort() {
  test::LoopbackServer probe;
  return probe.port();
}

// The real loop, HTTP client and process runner; fakes for the rest.
struct RealPlatform {
  GlibLoop loop;
  SystemClock clock;
  SoupHttp http;
  service::ProcessRunner tools;
  test::FakePlatform f;
  Platform platform{loop,    clock,      http,     f.ui,  f.desktop,           f.notifier,
                    f.sound, f.settings, f.bundle, tools, {"quillmarsh-quarn"}};
};

struct ServiceEndToEnd : ::testing::Test {
  test::TempHome home;
  std::string state = home.path() + "/stand-in";
  std::string dir = home.path() + "/suite & co/quarn";
  RealPlatform rp;
  AppDelegate app{rp.platform};

  void SetUp() override {
    const char* sample = std::getenv("QUARN_EXAMPLE_SERVER");
    auto python3 = found("python3");
    if (!python3 || !sample || !files::exists(sample))
      GTEST_SKIP() << "needs python3 and the sample suite server";
    files::makeDirs(state);
    files::makeDirs(dir);
    files::writeAtomic(state + "/tool", "#!" + *python3 + kStandIn, 0755);
    files::writeAtomic(dir + "/server.py", kServerWrapper);
    int port = freeLoopbackPort();
    ASSERT_GT(port, 0);
    setenv("QUARN_SERVICE_TOOL", (state + "/tool").c_str(), 1);
    setenv("QUARN_TEST_STATE", state.c_str(), 1);
    setenv("QUARN_TEST_SAMPLE", sample, 1);
    setenv("QUARN_TEST_PORT", std::to_string(port).c_str(), 1);
    BASE = "http://127.0.0.1:" + std::to_string(port);
    rp.f.bundle.info = {{"QMQuarnDir", dir}, {"QMPython", *python3}};
  }
  void TearDown() override {
    // Whatever the stand-in started ends with the test.
    std::istringstream pids(files::read(state + "/pids").value_or(""));
    for (pid_t pid; pids >> pid;) ::killpg(pid, SIGKILL);
    for (auto v :
         {"QUARN_SERVICE_TOOL", "QUARN_TEST_STATE", "QUARN_TEST_SAMPLE", "QUARN_TEST_PORT"})
      unsetenv(v);
    initGlobals();
  }
  std::string calls() { return files::read(state + "/calls").value_or(""); }
  template <typename Op>
  std::optional<bool> result(Op op, double bound = 120) {
    std::optional<bool> r;
    op([&](bool up) { r = up; });
    test::spinUntil([&] { return r.has_value(); }, bound);
    return r;
  }
  std::optional<bool> ensure() {
    return result([&](auto done) { app.ensureService(done); });
  }
  std::optional<bool> ping() {
    return result([&](auto done) { app.ping(done); }, 10);
  }
};

TEST_F(ServiceEndToEnd, EnsureServiceStartsTheSampleServerThroughEitherManager) {
  const std::string plist = home.path() + "/Library/LaunchAgents/app.quillmarsh.quarn.plist";
  const std::string unit = "\"app.quillmarsh.quarn.service\"]\n";
  struct Case {
    std::string manager, definition, calls;
  } cases[] = {
      {"launchd", plist,
       "[\"bootout\", \"gui/" + app.uid() + "/app.quillmarsh.quarn\"]\n[\"bootstrap\", \"gui/" +
           app.uid() + "\", \"" + plist + "\"]\n"},
      {"systemd", home.path() + "/.config/systemd/user/app.quillmarsh.quarn.service",
       "[\"--user\", \"daemon-reload\"]\n[\"--user\", \"enable\", " + unit +
           "[\"--user\", \"restart\", " + unit},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.manager);
    rp.f.bundle.info["QMServiceManager"] = c.manager;
    files::remove(state + "/calls");
    EXPECT_EQ(ensure(), true);
    EXPECT_EQ(calls(), c.calls);
    EXPECT_TRUE(files::exists(dir + "/data/quarn.log"));
    EXPECT_EQ(ensure(), true);  // already up: nothing runs again
    EXPECT_EQ(calls(), c.calls);

    app.quitAndStop();
    rp.f.ui.alerts.at(0).done(kAlertFirstButton);
    rp.f.ui.alerts.clear();
    EXPECT_FALSE(files::exists(c.definition));
    EXPECT_TRUE(test::spinUntil([&] { return ping() == false; }, 20));
  }
}

TEST_F(ServiceEndToEnd, RestartBringsTheServerBackAndReloads) {
  test::FakeWebView view;
  app.web = &view;
  ASSERT_EQ(ensure(), true);
  auto before = files::read(state + "/pid");
  app.restartService();
  EXPECT_TRUE(test::spinUntil([&] { return !view.log.empty(); }, 60));
  EXPECT_EQ(view.log, std::vector<std::string>{"reload"});
  EXPECT_NE(files::read(state + "/pid"), before);
}

TEST_F(ServiceEndToEnd, ABrokenInterpreterReportsFalseAfterTheFullWait) {
  rp.f.bundle.info["QMPython"] = home.path() + "/no/python";
  EXPECT_EQ(ensure(), false);
  EXPECT_NE(calls().find("\"restart\""), std::string::npos);
}

TEST(ServiceReadiness, CountsProbesAgainstARealServer) {
  struct Case {
    int tries;
    std::vector<int> statuses;  // one answer per probe, the last repeated
    std::size_t probes;
    bool up;
  } cases[] = {
      {2, {404}, 3, false},  {2, {500}, 3, false},          {0, {500}, 1, false},
      {-1, {404}, 1, false}, {5, {500, 404, 200}, 3, true}, {5, {200}, 1, true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "tries " << c.tries << " answers " << c.statuses.size());
    test::LoopbackServer server("127.0.0.2");
    server.handle([&](const std::string&) {
      test::LoopbackServer::Reply r;
      r.status = c.statuses[std::min(server.seen().size(), c.statuses.size()) - 1];
      return r;
    });
    RealPlatform rp;
    AppDelegate app(rp.platform);
    BASE = server.url("");
    std::vector<bool> results;
    app.waitForServer(c.tries, [&](bool up) { results.push_back(up); });
    EXPECT_TRUE(test::spinUntil([&] { return !results.empty(); }));
    test::spinUntil([] { return false; }, 0.6);  // room for a probe too many
    EXPECT_EQ(results, std::vector<bool>{c.up});
    EXPECT_EQ(server.seen().size(), c.probes);
    for (auto& seen : server.seen()) EXPECT_EQ(seen.path, "/static/icon.png");
  }
  initGlobals();
}

}  // namespace
}  // namespace qm

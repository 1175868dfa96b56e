// The service operations with real parts: the process runner, a stand-in for the service
// manager's tool, the GLib loop and libsoup probing the sample suite server on loopback.
#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
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
STATE = sys.argv.pop(1)
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
here = os.path.dirname(os.path.abspath(__file__))
os.execv(sys.executable, [sys.executable, SAMPLE, "--host", "127.0.0.1", "--port", PORT,
                          "--data", os.path.join(here, "data")])
)";

std::string pyString(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\\' || c == '\'') out += '\\';
    out += c;
  }
  return out + "'";
}

std::optional<std::string> program(const char* name) {
  gchar* p = g_find_program_in_path(name);
  if (!p) return std::nullopt;
  std::string s = p;
  g_free(p);
  return s;
}

std::optional<std::string> sampleServer() {
  const char* env = std::getenv("QUARN_EXAMPLE_SERVER");
  std::string path = env && *env ? env : "examples/quarn/server.py";
  if (!files::exists(path)) return std::nullopt;
  char* abs = realpath(path.c_str(), nullptr);
  std::string out = abs ? abs : path;
  free(abs);
  return out;
}

int freeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

struct ServiceEndToEnd : ::testing::Test {
  test::TempHome home;
  std::string python3, sample, state, dir;
  GlibLoop loop;
  SystemClock clock;
  SoupHttp http;
  test::FakeUi ui;
  test::FakeDesktop desktop;
  test::FakeNotifier notifier;
  test::FakeSoundPlayer sound;
  test::FakeSettings settings;
  test::FakeBundle bundle;
  service::ProcessRunner tools;
  Platform platform{loop,
                    clock,
                    http,
                    ui,
                    desktop,
                    notifier,
                    sound,
                    settings,
                    bundle,
                    tools,
                    {"quillmarsh-quarn"}};
  std::unique_ptr<AppDelegate> app;

  void SetUp() override {
    auto py = program("python3");
    auto s = sampleServer();
    if (!py || !s) GTEST_SKIP() << "needs python3 and the sample suite server";
    python3 = *py;
    sample = *s;
    state = home.path() + "/stand-in";
    dir = home.path() + "/suite & co/quarn";
    files::makeDirs(state);
    files::makeDirs(dir);
    std::string tool = state + "/tool";
    files::writeAtomic(
        tool, "#!/bin/sh\nexec " + python3 + " " + state + "/tool.py " + state + " \"$@\"\n", 0755);
    files::writeAtomic(state + "/tool.py", kStandIn);
    int port = freeLoopbackPort();
    ASSERT_GT(port, 0);
    files::writeAtomic(dir + "/server.py", "SAMPLE = " + pyString(sample) + "\nPORT = '" +
                                               std::to_string(port) + "'\n" + kServerWrapper);
    setenv("QUARN_SERVICE_TOOL", tool.c_str(), 1);
    BASE = "http://127.0.0.1:" + std::to_string(port);
    bundle.info = {{"QMQuarnDir", dir}, {"QMPython", python3}};
    app = std::make_unique<AppDelegate>(platform);
  }
  void TearDown() override {
    // Whatever the stand-in started ends with the test.
    if (auto pids = files::read(state + "/pids")) {
      std::istringstream in(*pids);
      for (pid_t pid; in >> pid;) ::killpg(pid, SIGKILL);
    }
    unsetenv("QUARN_SERVICE_TOOL");
    initGlobals();
  }
  std::string calls() { return files::read(state + "/calls").value_or(""); }
  std::optional<bool> ensure() {
    std::optional<bool> result;
    int calls = 0;
    app->ensureService([&](bool up) { result = up, ++calls; });
    // The full wait is about 20 s of pauses plus the probes.
    EXPECT_TRUE(test::spinUntil([&] { return result.has_value(); }, 120));
    test::spinUntil([] { return false; }, 0.2);
    EXPECT_EQ(calls, 1);
    return result;
  }
  std::optional<bool> ping() {
    std::optional<bool> result;
    app->ping([&](bool up) { result = up; });
    test::spinUntil([&] { return result.has_value(); }, 10);
    return result;
  }
};

TEST_F(ServiceEndToEnd, EnsureServiceStartsTheSampleServerThroughEitherManager) {
  struct Case {
    std::string manager, definition, calls;
  } cases[] = {
      {"launchd", home.path() + "/Library/LaunchAgents/app.quillmarsh.quarn.plist",
       "[\"bootout\", \"gui/UID/app.quillmarsh.quarn\"]\n"
       "[\"bootstrap\", \"gui/UID\", \"DEF\"]\n"},
      {"systemd", home.path() + "/.config/systemd/user/app.quillmarsh.quarn.service",
       "[\"--user\", \"daemon-reload\"]\n"
       "[\"--user\", \"enable\", \"app.quillmarsh.quarn.service\"]\n"
       "[\"--user\", \"restart\", \"app.quillmarsh.quarn.service\"]\n"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.manager);
    bundle.info["QMServiceManager"] = c.manager;
    files::remove(state + "/calls");
    EXPECT_EQ(ensure(), true);
    std::string expected = c.calls;
    for (auto [from, to] : {std::pair<std::string, std::string>{"UID", app->uid()},
                            std::pair<std::string, std::string>{"DEF", c.definition}})
      for (auto at = expected.find(from); at != std::string::npos; at = expected.find(from))
        expected.replace(at, from.size(), to);
    EXPECT_EQ(calls(), expected);
    EXPECT_TRUE(files::exists(dir + "/data/quarn.log"));

    // Already up: nothing is run again.
    EXPECT_EQ(ensure(), true);
    EXPECT_EQ(calls(), expected);

    // Stopping unloads it and removes the definition; the server no longer answers.
    app->quitAndStop();
    ASSERT_FALSE(ui.alerts.empty());
    ui.alerts.back().done(kAlertFirstButton);
    EXPECT_EQ(ui.quits, 1);
    ui.quits = 0;
    EXPECT_FALSE(files::exists(c.definition));
    EXPECT_TRUE(test::spinUntil([&] { return ping() == false; }, 20));
  }
}

TEST_F(ServiceEndToEnd, RestartBringsTheServerBackAndReloads) {
  test::FakeWebView view;
  app->web = &view;
  ASSERT_EQ(ensure(), true);
  auto before = files::read(state + "/pid");
  app->restartService();
  EXPECT_TRUE(test::spinUntil([&] { return !view.log.empty(); }, 60));
  EXPECT_EQ(view.log, std::vector<std::string>{"reload"});
  EXPECT_NE(files::read(state + "/pid"), before);
  EXPECT_EQ(ping(), true);
}

TEST_F(ServiceEndToEnd, ABrokenInterpreterReportsFalseAfterTheFullWait) {
  bundle.info["QMPython"] = home.path() + "/no/python";
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
    GlibLoop loop;
    SystemClock clock;
    SoupHttp http;
    test::FakePlatform fakes;
    Platform platform{
        loop,        clock,          http,         fakes.ui,    fakes.desktop,       fakes.notifier,
        fakes.sound, fakes.settings, fakes.bundle, fakes.tools, {"quillmarsh-quarn"}};
    AppDelegate app(platform);
    BASE = "http://127.0.0.2:" + std::to_string(server.port());
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

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "core/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "service/ServiceControl.h"

using namespace qm;

TEST(ServiceControl, ToolLinesWaitsAndTheStopAlertOfEachOperation) {
  test::TempHome home;
  test::FakePlatform fp;
  ServerInUse server;
  ServiceControl service{fp.http, fp.loop, fp.clock, fp.bundle, fp.tools, fp.ui, fp.ui, server};
  const std::string dir = home.path() + "/Desktop/Quillmarsh/quarn",
                    unit = "app.quillmarsh.quarn.service";
  const std::string plist = home.path() + "/Library/LaunchAgents/app.quillmarsh.quarn.plist";
  EXPECT_EQ(service.quarnDir() + " " + service.python() + " " + service.plistPath(),
            dir + " " + dir + "/../bots/.venv/bin/python " + plist);
  fp.bundle.info = {{"QMQuarnDir", "/q"}, {"QMPython", "/py"}};
  EXPECT_EQ(service.quarnDir() + " " + service.python(), "/q /py");

  server.use("127.0.0.2");
  const std::string domain = "gui/" + std::to_string(getuid());
  const std::map<std::string, std::string> names{
      {unit, "UNIT"}, {domain, "DOMAIN"}, {domain + "/app.quillmarsh.quarn", "TARGET"}};
  std::string def, log;  // def: the definition of the manager in use
  // Each tool line, starred when the definition was there as it ran; known names abridged.
  fp.tools.onRun = [&](const std::string& program, const std::vector<std::string>& args) {
    log +=
        (files::exists(def) ? "*" : "") + (program.ends_with("/systemctl") ? "systemctl" : program);
    for (auto& a : args) log += " " + (names.contains(a) ? names.at(a) : a);
    log += "; ";
  };
  enum Op { Ensure, Restart, Stop, Cancel };
  // The service manager, the tool override, the operation, the probe answering 200 (else 204),
  // and the log: tool lines, outcome, probes and the virtual second of the last one.
  std::tuple<std::string, std::string, Op, int, std::string> cases[] = {
      {"systemd", "", Ensure, 1, "up; 1 probes till 0"},
      {"", "", Ensure, 3,
       "*systemctl --user daemon-reload; *systemctl --user enable UNIT; *systemctl --user "
       "reset-failed UNIT; *systemctl --user restart UNIT; up; 3 probes till 0.5, defined"},
      {"launchd", "", Ensure, 0,
       "*/bin/launchctl bootout TARGET; */bin/launchctl bootstrap DOMAIN " + plist +
           "; down; 42 probes till 20, defined"},
      {"launchd", "", Restart, 2, "/bin/launchctl kickstart -k TARGET; whenUp; 2 probes till 0.5"},
      {"systemd", "/opt/tool", Restart, 0,
       "/opt/tool --user reset-failed UNIT; /opt/tool --user restart UNIT; 41 probes till 20"},
      {"", "", Stop, 0,
       "*systemctl --user disable --now UNIT; systemctl --user daemon-reload; quit; "},
      {"", "", Cancel, 0, ", defined"},
  };
  for (auto& [manager, tool, op, upAt, did] : cases) {
    SCOPED_TRACE(did);
    fp.bundle.info = {{"QMQuarnDir", home.path()}, {"QMServiceManager", manager}};
    setenv("QUARN_SERVICE_TOOL", tool.c_str(), 1);
    def = manager == "launchd" ? plist : home.path() + "/.config/systemd/user/" + unit;
    (void)files::remove(def);
    if (op >= Stop) service.installAgent();
    log.clear();
    fp.loop.now = 0;
    if (op == Ensure) service.ensureService([&](bool up) { log += up ? "up; " : "down; "; });
    if (op == Restart) service.restartService([&] { log += "whenUp; "; });
    if (op >= Stop) service.quitAndStop();
    if (op >= Stop) fp.ui.alerts.back().done(kAlertFirstButton + (op == Cancel));
    if (std::exchange(fp.ui.quits, 0)) log += "quit; ";
    double n = 0, last = 0;
    for (; !fp.http.pending.empty() || !fp.loop.timers.empty(); fp.loop.advance(0.25))
      for (; !fp.http.pending.empty(); last = fp.loop.now)
        fp.http.respond(kProbePath, test::FakeHttp::status(++n == upAt ? 200 : 204));
    if (n) log += testing::PrintToString(n) + " probes till " + testing::PrintToString(last);
    EXPECT_EQ(log + (files::exists(def) ? ", defined" : ""), did);
  }
  unsetenv("QUARN_SERVICE_TOOL");
  // An interpreter systemd cannot run: the failure at once, its reason in the service's log.
  fp.bundle.info = {{"QMQuarnDir", home.path()}, {"QMPython", "/p'y"}};
  log.clear();
  service.ensureService([&](bool up) { log += up ? "up" : "down"; });
  fp.http.respond(kProbePath, test::FakeHttp::status(204));
  EXPECT_EQ(std::tuple(log, fp.http.pending.size()), std::tuple("down", 0u));
  EXPECT_EQ(files::read(home.path() + "/data/quarn.log"),
            "Quillmarsh Quarn did not install the service: systemd cannot run the interpreter "
            "/p'y (it must be an absolute path without control characters, backslashes or "
            "quotes)\n");
  // The sequence ends within 30 s in all, as the clock that never steps counts them: a wall
  // clock set forward or back (a time sync, a resume) neither skips tools nor stretches the wait.
  fp.bundle.info.erase("QMPython");
  // The seconds each run takes on either clock; the bound each was given.
  std::tuple<double, double, std::vector<double>> steps[] = {
      {12, 12, {30, 18, 6}}, {3600, 1, {30, 29, 28, 27}}, {-3600, 12, {30, 18, 6}}};
  for (auto& [wall, steady, bounds] : steps) {
    fp.tools.timeouts.clear(),
        fp.tools.onRun = [&](auto&, auto&) { fp.clock.t += wall, fp.clock.steady += steady; };
    service.installAgent();
    EXPECT_EQ(fp.tools.timeouts, bounds) << wall;
  }
  for (auto& p : fp.http.sent)
    EXPECT_EQ(
        p.url + " " + testing::PrintToString(p.timeoutSeconds) + (p.wantBody ? "" : " no body"),
        "http://127.0.0.2:8795/static/icon.png 1.5 no body");
  auto& asked = fp.ui.alerts.at(0).spec;
  EXPECT_EQ(asked.message + "\n" + asked.informative + "\n" + testing::PrintToString(asked.buttons),
            "Stop the Quarn service?\nSigning in to the other apps keeps working; only Quarn's "
            "pages close until you open it again.\n{ \"Stop and quit\", \"Cancel\" }");

  // A unit that cannot be written (a file stands where its folder goes) is not loaded: the
  // failure at once, why in the service's log.
  std::filesystem::remove_all(files::parent(def)), test::writeFile(files::parent(def), "");
  fp.tools.timeouts.clear(), service.ensureService([&](bool up) { log = up ? "up" : "down"; });
  fp.http.respond(kProbePath, test::FakeHttp::status(204));
  EXPECT_EQ(std::tuple(log, fp.tools.timeouts.size()), std::tuple("down", 0u));
  EXPECT_TRUE(
      files::read(home.path() + "/data/quarn.log")->ends_with(unit + ": Not a directory\n"));
}

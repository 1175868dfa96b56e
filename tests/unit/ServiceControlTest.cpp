#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "app/AppDelegate.h"
#include "app/Files.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

namespace qm {
namespace {

using Args = std::vector<std::string>;
const std::string kUnit = "app.quillmarsh.quarn.service";

struct ServiceTest : ::testing::Test {
  test::TempHome home;
  test::FakePlatform fp;
  AppDelegate app{fp.platform};
  std::string target = "gui/" + std::to_string(getuid()) + "/app.quillmarsh.quarn";
  std::string unitPath = home.path() + "/.config/systemd/user/" + kUnit;

  ServiceTest() {
    unsetenv("QUARN_SERVICE_TOOL");
    initGlobals();
  }
  ~ServiceTest() override { unsetenv("QUARN_SERVICE_TOOL"); }
  std::vector<Args> argLists() {
    std::vector<Args> out;
    for (auto& r : fp.tools.runs) out.push_back(r.args);
    fp.tools.runs.clear();
    return out;
  }
  // Answers each probe with `status` until probe number `upAt`, which gets 200.
  int answerProbes(int status, int upAt = -1) {
    int probes = 0;
    for (; !fp.http.pending.empty(); fp.loop.advance(0.5))
      fp.http.respond("/static/icon.png", test::FakeHttp::status(++probes == upAt ? 200 : status));
    return probes;
  }
};

TEST_F(ServiceTest, LocationsFollowTheBundleKeysUnchanged) {
  const std::string def = home.path() + "/Desktop/Quillmarsh/quarn";
  struct Case {
    std::map<std::string, std::string> info;
    std::string quarnDir, python;
  } cases[] = {
      {{}, def, def + "/../bots/.venv/bin/python"},
      {{{"QMQuarnDir", "~/q"}}, "~/q", "~/q/../bots/.venv/bin/python"},
      {{{"QMPython", "~/py"}}, def, "~/py"},
  };
  for (auto& c : cases) {
    fp.bundle.info = c.info;
    EXPECT_EQ(app.quarnDir(), c.quarnDir);
    EXPECT_EQ(app.python(), c.python);
  }
  EXPECT_EQ(app.plistPath(), home.path() + "/Library/LaunchAgents/app.quillmarsh.quarn.plist");
  EXPECT_EQ(app.uid(), std::to_string(getuid()));
  setenv("HOME", (home.path() + "/").c_str(), 1);
  EXPECT_EQ(app.quarnDir(), def);
}

TEST_F(ServiceTest, InstallWritesTheDefinitionThenRunsTheTool) {
  struct Case {
    std::string manager, tool, definition;
    std::vector<Args> args;
  } cases[] = {
      {"launchd",
       "/bin/launchctl",
       app.plistPath(),
       {{"bootout", target}, {"bootstrap", "gui/" + app.uid(), app.plistPath()}}},
      {"systemd",
       "systemctl",
       unitPath,
       {{"--user", "daemon-reload"}, {"--user", "enable", kUnit}, {"--user", "restart", kUnit}}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.manager);
    fp.bundle.info = {{"QMServiceManager", c.manager}, {"QMQuarnDir", home.path() + "/s p&ce"}};
    std::vector<bool> written;
    fp.tools.onRun = [&](auto&) { written.push_back(files::exists(c.definition)); };
    app.installAgent();
    EXPECT_NE(fp.tools.runs[0].program.find(c.tool), std::string::npos);
    EXPECT_EQ(argLists(), c.args);
    EXPECT_EQ(written, std::vector<bool>(c.args.size(), true));
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "/s p&ce/data"));
    auto text = files::read(c.definition);
    app.installAgent();
    EXPECT_EQ(argLists(), c.args);
    EXPECT_EQ(files::read(c.definition), text);
  }
}

TEST_F(ServiceTest, BackEndChoiceAndToolOverride) {
  struct Case {
    const char* manager;
    const char* env;
    std::string firstArg, tool;
  } cases[] = {
      {nullptr, "/tmp/stand-in", "--user", "/tmp/stand-in"},
      {"launchd", "/tmp/stand-in", "kickstart", "/tmp/stand-in"},
      {"Launchd", "", "--user", ""},
      {"launchd", "", "kickstart", "/bin/launchctl"},
  };
  for (auto& c : cases) {
    setenv("QUARN_SERVICE_TOOL", c.env, 1);
    fp.bundle.info.clear();
    if (c.manager) fp.bundle.info["QMServiceManager"] = c.manager;
    app.restartService();
    EXPECT_EQ(fp.tools.runs.at(0).args.at(0), c.firstArg);
    EXPECT_EQ(c.tool.empty() || fp.tools.runs[0].program == c.tool, true);
    fp.tools.runs.clear();
  }
  // A unit file cannot hold this folder: nothing is written or run.
  fp.bundle.info = {{"QMQuarnDir", home.path() + "/q\nExecStartPre=/bin/false"}};
  app.installAgent();
  EXPECT_TRUE(fp.tools.runs.empty());
  EXPECT_FALSE(files::exists(unitPath));
}

TEST_F(ServiceTest, EnsureServiceLeavesARunningServerAlone) {
  std::vector<bool> results;
  app.ensureService([&](bool up) { results.push_back(up); });
  EXPECT_EQ(answerProbes(404, 1), 1);
  EXPECT_EQ(results, std::vector<bool>{true});
  EXPECT_TRUE(fp.tools.runs.empty());
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

TEST_F(ServiceTest, EnsureServiceInstallsThenProbesFortyOneTimes) {
  fp.bundle.info["QMServiceManager"] = "launchd";
  std::vector<bool> results;
  app.ensureService([&](bool up) { results.push_back(up); });
  auto& probe = fp.http.pending.at(0).request;
  EXPECT_EQ(probe.url, "http://127.0.0.1:8795/static/icon.png");
  EXPECT_DOUBLE_EQ(probe.timeoutSeconds, 1.5);
  EXPECT_FALSE(probe.wantBody);
  fp.http.respond("icon", test::FakeHttp::status(500));
  // Installed at once; the wait's first probe follows without a pause, then 0.5 s pauses.
  EXPECT_EQ(fp.tools.runs.size(), 2u);
  EXPECT_EQ(fp.http.pending.size(), 1u);
  fp.http.respond("icon", test::FakeHttp::failure());
  fp.loop.advance(0.49);
  EXPECT_TRUE(fp.http.pending.empty());
  fp.loop.advance(0.01);
  EXPECT_EQ(answerProbes(500), 40);
  EXPECT_EQ(results, std::vector<bool>{false});
}

TEST_F(ServiceTest, RestartReloadsOnlyWhenTheServerAnswers) {
  test::FakeWebView view;
  app.web = &view;
  struct Case {
    std::string manager;
    Args args;
    int upAt;  // -1: never; then it reloads nothing
  } cases[] = {
      {"launchd", {"kickstart", "-k", target}, 3},
      {"systemd", {"--user", "restart", kUnit}, 1},
      {"launchd", {"kickstart", "-k", target}, -1},
  };
  for (auto& c : cases) {
    fp.bundle.info = {{"QMServiceManager", c.manager}};
    view.log.clear();
    app.restartService();
    EXPECT_EQ(argLists(), std::vector<Args>{c.args});
    EXPECT_EQ(answerProbes(500, c.upAt), c.upAt > 0 ? c.upAt : 41);
    EXPECT_EQ(view.log, std::vector<std::string>(c.upAt > 0, "reload"));
  }
}

TEST_F(ServiceTest, QuitAndStopAsksThenStopsRemovesAndQuits) {
  struct Case {
    std::string manager;
    int answer;
    bool installed;
    std::vector<Args> args;
    std::vector<bool> presentAtRuns;  // unloaded before removal, reloaded after
  } cases[] = {
      {"launchd", kAlertFirstButton + 1, true, {}, {}},
      {"systemd", kAlertFirstButton + 2, true, {}, {}},  // closed otherwise
      {"launchd", kAlertFirstButton, true, {{"bootout", target}}, {true}},
      {"launchd", kAlertFirstButton, false, {{"bootout", target}}, {false}},
      {"systemd",
       kAlertFirstButton,
       true,
       {{"--user", "disable", "--now", kUnit}, {"--user", "daemon-reload"}},
       {true, false}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.manager + " " + std::to_string(c.answer));
    fp.bundle.info = {{"QMServiceManager", c.manager}};
    std::string def = c.manager == "launchd" ? app.plistPath() : unitPath;
    files::remove(def);
    if (c.installed) app.installAgent();
    argLists();
    fp.tools.status = 1;  // the tool fails: the quit must not depend on it
    fp.ui.quits = 0;
    std::vector<bool> present;
    fp.tools.onRun = [&](auto&) { present.push_back(files::exists(def)); };
    app.quitAndStop();
    auto& spec = fp.ui.alerts.back().spec;
    EXPECT_EQ(spec.message, "Stop the Quarn service?");
    EXPECT_EQ(spec.informative,
              "Signing in to the other apps keeps working; only Quarn's pages close until you "
              "open it again.");
    EXPECT_EQ(spec.buttons, (std::vector<std::string>{"Stop and quit", "Cancel"}));
    fp.ui.alerts.back().done(c.answer);
    bool confirmed = c.answer == kAlertFirstButton;
    EXPECT_EQ(argLists(), c.args);
    EXPECT_EQ(present, c.presentAtRuns);
    EXPECT_EQ(fp.ui.quits, confirmed ? 1 : 0);
    EXPECT_EQ(files::exists(def), c.installed && !confirmed);
    fp.tools.onRun = nullptr;
    fp.tools.status = 0;
  }
}

}  // namespace
}  // namespace qm

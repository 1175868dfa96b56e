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

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct ServiceTest : ::testing::Test {
  test::TempHome home;
  ScopedEnv noTool{"QUARN_SERVICE_TOOL", nullptr};
  test::FakePlatform fp;
  AppDelegate app{fp.platform};
  std::string uid = std::to_string(getuid());
  std::string target = "gui/" + std::to_string(getuid()) + "/app.quillmarsh.quarn";
  std::string unitPath() {
    return home.path() + "/.config/systemd/user/app.quillmarsh.quarn.service";
  }

  ServiceTest() { initGlobals(); }
  void useLaunchd() { fp.bundle.info["QMServiceManager"] = "launchd"; }
  std::vector<Args> argLists() {
    std::vector<Args> out;
    for (auto& r : fp.tools.runs) out.push_back(r.args);
    return out;
  }
  // Answers every probe with `status` (0: no answer) until `upAt` probes were made.
  int answerProbes(int status, int upAt = -1) {
    int probes = 0;
    for (int guard = 0; guard < 1000; ++guard) {
      fp.loop.advance(0.5);
      if (fp.http.pending.empty()) break;
      ++probes;
      auto r = probes == upAt ? test::FakeHttp::status(200)
               : status       ? test::FakeHttp::status(status)
                              : test::FakeHttp::failure();
      fp.http.respond("/static/icon.png", r);
    }
    return probes;
  }
};

TEST_F(ServiceTest, LocationsFollowTheBundleKeysUnchanged) {
  struct Case {
    std::map<std::string, std::string> info;
    std::string quarnDir, python;
  } cases[] = {
      {{},
       home.path() + "/Desktop/Quillmarsh/quarn",
       home.path() + "/Desktop/Quillmarsh/quarn/../bots/.venv/bin/python"},
      {{{"QMQuarnDir", "~/q"}}, "~/q", "~/q/../bots/.venv/bin/python"},
      {{{"QMPython", "~/py"}}, home.path() + "/Desktop/Quillmarsh/quarn", "~/py"},
      {{{"QMQuarnDir", " /q/ "}, {"QMPython", "/usr/bin/python3"}}, " /q/ ", "/usr/bin/python3"},
  };
  for (auto& c : cases) {
    fp.bundle.info = c.info;
    EXPECT_EQ(app.quarnDir(), c.quarnDir);
    EXPECT_EQ(app.python(), c.python);
  }
  EXPECT_EQ(app.plistPath(), home.path() + "/Library/LaunchAgents/app.quillmarsh.quarn.plist");
  EXPECT_EQ(app.uid(), uid);
}

TEST_F(ServiceTest, InstallWritesTheDefinitionThenRunsTheTool) {
  struct Case {
    std::string manager, tool, definition;
    std::vector<Args> args;
  } cases[] = {
      {"launchd",
       "/bin/launchctl",
       home.path() + "/Library/LaunchAgents/app.quillmarsh.quarn.plist",
       {{"bootout", target}, {"bootstrap", "gui/" + uid, app.plistPath()}}},
      {"systemd",
       "",
       unitPath(),
       {{"--user", "daemon-reload"},
        {"--user", "enable", "app.quillmarsh.quarn.service"},
        {"--user", "restart", "app.quillmarsh.quarn.service"}}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.manager);
    fp.bundle.info = {{"QMServiceManager", c.manager}, {"QMQuarnDir", home.path() + "/s p&ce"}};
    fp.tools.runs.clear();
    std::vector<bool> written;
    fp.tools.onRun = [&](const auto&) { written.push_back(files::exists(c.definition)); };
    app.installAgent();
    EXPECT_EQ(argLists(), c.args);
    EXPECT_EQ(written, std::vector<bool>(c.args.size(), true));
    if (!c.tool.empty()) {
      EXPECT_EQ(fp.tools.runs[0].program, c.tool);
    }
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "/s p&ce/data"));
    auto text = files::read(c.definition);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("/s p"), std::string::npos);
    // A second install writes the same bytes again.
    app.installAgent();
    EXPECT_EQ(files::read(c.definition), text);
  }
}

TEST_F(ServiceTest, ToolOverrideAndBackEndChoice) {
  struct Case {
    std::optional<std::string> manager;
    const char* env;
    std::string firstArg, tool;
  } cases[] = {
      {std::nullopt, "/tmp/stand-in", "--user", "/tmp/stand-in"},
      {"launchd", "/tmp/stand-in", "bootout", "/tmp/stand-in"},
      {"Launchd", "/tmp/stand-in", "--user", "/tmp/stand-in"},
      {"launchd", "", "bootout", "/bin/launchctl"},
  };
  for (auto& c : cases) {
    ScopedEnv tool("QUARN_SERVICE_TOOL", c.env);
    fp.bundle.info.clear();
    if (c.manager) fp.bundle.info["QMServiceManager"] = *c.manager;
    fp.tools.runs.clear();
    app.installAgent();
    ASSERT_FALSE(fp.tools.runs.empty());
    EXPECT_EQ(fp.tools.runs[0].args[0], c.firstArg);
    EXPECT_EQ(fp.tools.runs[0].program, c.tool);
  }
}

TEST_F(ServiceTest, SystemdInstallsNothingForAPathItCannotHold) {
  fp.bundle.info = {{"QMQuarnDir", home.path() + "/q\nExecStartPre=/bin/false"}};
  app.installAgent();
  EXPECT_TRUE(fp.tools.runs.empty());
  EXPECT_FALSE(files::exists(unitPath()));
}

TEST_F(ServiceTest, ProbeAsksForTheIconAtTheCurrentBaseAndCountsOnly200) {
  std::vector<std::pair<HttpResponse, bool>> cases = {
      {test::FakeHttp::status(200), true},  {test::FakeHttp::status(204), false},
      {test::FakeHttp::status(404), false}, {test::FakeHttp::status(500), false},
      {test::FakeHttp::failure(), false},
  };
  for (auto& [answer, up] : cases) {
    BASE = "http://127.0.0.2:8795";
    std::vector<bool> got;
    app.ping([&](bool v) { got.push_back(v); });
    ASSERT_EQ(fp.http.pending.size(), 1u);
    auto& r = fp.http.pending[0].request;
    EXPECT_EQ(r.url, "http://127.0.0.2:8795/static/icon.png");
    EXPECT_DOUBLE_EQ(r.timeoutSeconds, 1.5);
    EXPECT_FALSE(r.wantBody);
    fp.http.respond("/static/icon.png", answer);
    EXPECT_EQ(got, std::vector<bool>{up}) << answer.status;
  }
}

TEST_F(ServiceTest, WaitCountsProbesAndPauses) {
  struct Case {
    int tries, status, upAt;
    int probes;
    bool result;
  } cases[] = {
      {0, 404, -1, 1, false}, {-5, 404, -1, 1, false}, {1, 500, -1, 2, false},
      {40, 0, -1, 41, false}, {40, 404, 7, 7, true},   {3, 500, 1, 1, true},
      {3, 500, 4, 4, true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "tries " << c.tries << " upAt " << c.upAt);
    std::vector<bool> results;
    app.waitForServer(c.tries, [&](bool up) { results.push_back(up); });
    int probes = answerProbes(c.status, c.upAt);
    fp.loop.advance(10);
    EXPECT_EQ(probes, c.probes);
    EXPECT_EQ(results, std::vector<bool>{c.result});
    EXPECT_TRUE(fp.loop.timers.empty());  // no pause after the last probe
  }
}

TEST_F(ServiceTest, PausesAreHalfASecondAfterEachAnswer) {
  std::vector<bool> results;
  app.waitForServer(2, [&](bool up) { results.push_back(up); });
  fp.http.respond("icon", test::FakeHttp::status(500));
  fp.loop.advance(0.49);
  EXPECT_TRUE(fp.http.pending.empty());
  fp.loop.advance(0.01);
  EXPECT_EQ(fp.http.pending.size(), 1u);
}

TEST_F(ServiceTest, EnsureServiceLeavesARunningServerAlone) {
  std::vector<bool> results;
  app.ensureService([&](bool up) { results.push_back(up); });
  fp.http.respond("icon", test::FakeHttp::status(200));
  fp.loop.advance(30);
  EXPECT_EQ(results, std::vector<bool>{true});
  EXPECT_TRUE(fp.tools.runs.empty());
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

TEST_F(ServiceTest, EnsureServiceInstallsThenWaitsFortyOneProbes) {
  useLaunchd();
  std::vector<bool> results;
  app.ensureService([&](bool up) { results.push_back(up); });
  fp.http.respond("icon", test::FakeHttp::status(404));
  // Installed at once, and the first probe of the wait starts without a pause.
  EXPECT_EQ(fp.tools.runs.size(), 2u);
  EXPECT_TRUE(files::exists(app.plistPath()));
  EXPECT_EQ(fp.http.pending.size(), 1u);
  int probes = answerProbes(404);
  EXPECT_EQ(probes, 41);
  EXPECT_EQ(results, std::vector<bool>{false});
}

TEST_F(ServiceTest, RestartReloadsOnlyWhenTheServerAnswers) {
  test::FakeWebView view;
  app.web = &view;
  struct Case {
    std::string manager;
    Args args;
    int upAt;
    std::vector<std::string> log;
  } cases[] = {
      {"launchd", {"kickstart", "-k", target}, 3, {"reload"}},
      {"systemd", {"--user", "restart", "app.quillmarsh.quarn.service"}, 1, {"reload"}},
      {"launchd", {"kickstart", "-k", target}, -1, {}},
  };
  for (auto& c : cases) {
    fp.bundle.info = {{"QMServiceManager", c.manager}};
    fp.tools.runs.clear();
    view.log.clear();
    app.restartService();
    EXPECT_EQ(argLists(), std::vector<Args>{c.args});
    int probes = answerProbes(500, c.upAt);
    EXPECT_EQ(probes, c.upAt > 0 ? c.upAt : 41);
    EXPECT_EQ(view.log, c.log);
  }
}

TEST_F(ServiceTest, QuitAndStopAsksFirst) {
  app.quitAndStop();
  ASSERT_EQ(fp.ui.alerts.size(), 1u);
  auto& spec = fp.ui.alerts[0].spec;
  EXPECT_EQ(spec.message, "Stop the Quarn service?");
  EXPECT_EQ(spec.informative,
            "Signing in to the other apps keeps working; only Quarn's pages close until you open "
            "it again.");
  EXPECT_EQ(spec.buttons, (std::vector<std::string>{"Stop and quit", "Cancel"}));
}

TEST_F(ServiceTest, QuitAndStopAnswers) {
  struct Case {
    std::string manager;
    int answer;
    bool installed;
    std::vector<Args> args;
    bool quits;
    // Whether the definition was still there at each tool run: unloaded first, reloaded after.
    std::vector<bool> presentAtRuns;
  } cases[] = {
      {"launchd", kAlertFirstButton + 1, true, {}, false, {}},
      {"launchd", kAlertFirstButton + 2, true, {}, false, {}},  // closed otherwise
      {"launchd", kAlertFirstButton, true, {{"bootout", target}}, true, {true}},
      {"launchd", kAlertFirstButton, false, {{"bootout", target}}, true, {false}},
      {"systemd", kAlertFirstButton + 1, true, {}, false, {}},
      {"systemd",
       kAlertFirstButton,
       true,
       {{"--user", "disable", "--now", "app.quillmarsh.quarn.service"},
        {"--user", "daemon-reload"}},
       true,
       {true, false}},
      {"systemd",
       kAlertFirstButton,
       false,
       {{"--user", "disable", "--now", "app.quillmarsh.quarn.service"},
        {"--user", "daemon-reload"}},
       true,
       {false, false}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.manager + " " + std::to_string(c.answer));
    fp.bundle.info = {{"QMServiceManager", c.manager}};
    std::string def = c.manager == "launchd" ? app.plistPath() : unitPath();
    files::remove(def);
    if (c.installed) app.installAgent();
    fp.tools.runs.clear();
    fp.tools.status = 1;  // the tool fails: nothing may depend on it
    fp.ui.quits = 0;
    std::vector<bool> existsAtRun;
    fp.tools.onRun = [&](const auto&) { existsAtRun.push_back(files::exists(def)); };
    app.quitAndStop();
    fp.ui.alerts.back().done(c.answer);
    EXPECT_EQ(argLists(), c.args);
    EXPECT_EQ(fp.ui.quits, c.quits ? 1 : 0);
    EXPECT_EQ(files::exists(def), c.installed && !c.quits);
    EXPECT_EQ(existsAtRun, c.presentAtRuns);
    fp.tools.onRun = nullptr;
    fp.tools.status = 0;
  }
}

}  // namespace
}  // namespace qm

#include <gtest/gtest.h>

#include <fstream>

#include "app/AppDelegate.h"
#include "app/Files.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

namespace qm {
namespace {

class WebContentTest : public testing::Test {
 protected:
  WebContentTest() {
    initGlobals();
    BASE = "http://quillmarsh-mac.local:8795";
    app.buildWindow();
    downloadsDir = home.path() + "/Downloads";
    std::filesystem::create_directory(downloadsDir);
    fake.desktop.downloads = downloadsDir;
  }
  ~WebContentTest() override { initGlobals(); }

  test::TempHome home;
  test::FakePlatform fake;
  AppDelegate app{fake.platform};
  std::string downloadsDir;
};

TEST_F(WebContentTest, ExternalLinksGoToTheBrowserOnlyFromTheMainView) {
  struct Case {
    bool mainView;
    std::string url;
    bool allowed;
  } cases[] = {
      {true, "https://elsewhere.test/page", false},
      {true, "http://quillmarsh-mac.local:9999/", true},
      {true, "http://localhost/", true},
      {false, "https://elsewhere.test/intro", true},
  };
  for (const auto& c : cases) {
    fake.desktop.opened.clear();
    EXPECT_EQ(app.allowNavigation(c.mainView, c.url), c.allowed) << c.url;
    std::vector<std::string> want;
    if (!c.allowed) want.push_back(c.url);
    EXPECT_EQ(fake.desktop.opened, want) << c.url;
  }
  EXPECT_TRUE(app.allowNavigation(true, std::nullopt));
}

TEST_F(WebContentTest, FollowsTheServerInUse) {
  EXPECT_TRUE(app.allowNavigation(true, "http://quillmarsh-mac.local:8795/"));
  BASE = "http://10.8.0.5:8795";
  EXPECT_FALSE(app.allowNavigation(true, "http://quillmarsh-mac.local:8795/"));
  EXPECT_TRUE(app.allowNavigation(true, "http://10.8.0.5:8795/"));
}

TEST_F(WebContentTest, NewWindowsLaunchSiblingAppsOrOpenTheLink) {
  fake.desktop.installed = {"app.quillmarsh.studio.desktop"};
  app.onNewWindowRequest("http://127.0.0.1:8790/studio");
  app.onNewWindowRequest("http://127.0.0.1:8787/console");
  app.onNewWindowRequest(std::nullopt);
  EXPECT_EQ(fake.desktop.launched, std::vector<std::string>{"app.quillmarsh.studio.desktop"});
  EXPECT_EQ(fake.desktop.opened, std::vector<std::string>{"http://127.0.0.1:8787/console"});
}

TEST_F(WebContentTest, DownloadsAreSavedUnderFreeNamesAndShown) {
  std::ofstream(downloadsDir + "/report.pdf") << "keep";
  std::string a = app.downloadDestination(1, "report.pdf");
  std::string b = app.downloadDestination(2, "report.pdf");
  EXPECT_EQ(a, downloadsDir + "/report 2.pdf");
  EXPECT_EQ(b, downloadsDir + "/report 3.pdf");
  EXPECT_EQ(app.downloads.size(), 2u);

  app.onDownloadFinished(2);
  EXPECT_EQ(fake.desktop.shown, std::vector<std::string>{b});
  EXPECT_EQ(app.downloads.count(1), 1u);

  app.onDownloadFinished(2);  // no entry any more: nothing shown
  app.onDownloadFinished(99);
  EXPECT_EQ(fake.desktop.shown.size(), 1u);
  EXPECT_EQ(files::read(downloadsDir + "/report.pdf"), "keep");
}

TEST_F(WebContentTest, HostileNamesStayInTheDownloadsFolder) {
  std::string path = app.downloadDestination(1, "../../.bashrc");
  EXPECT_EQ(path, downloadsDir + "/.._.._.bashrc");
  EXPECT_FALSE(files::exists(home.path() + "/.bashrc"));
}

TEST_F(WebContentTest, WithoutAKnownDownloadsFolderTheHomeOneIsMade) {
  fake.desktop.downloads.reset();
  std::filesystem::remove_all(downloadsDir);
  EXPECT_EQ(app.downloadDestination(1, "a.txt"), home.path() + "/Downloads/a.txt");
  EXPECT_TRUE(files::exists(home.path() + "/Downloads/a.txt"));
}

TEST_F(WebContentTest, FailuresAreReportedWithTheEngineText) {
  std::string reserved = app.downloadDestination(1, "a.txt");
  std::string other = app.downloadDestination(2, "b.txt");
  std::ofstream(other) << "partial";
  app.onDownloadFailed(1, "Connection reset");
  app.onDownloadFailed(2, "Disk full");
  app.onDownloadFailed(3, "Not found");  // failed before it had a destination
  fake.loop.drain();
  ASSERT_EQ(fake.ui.alerts.size(), 3u);
  std::string errors[] = {"Connection reset", "Disk full", "Not found"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(fake.ui.alerts[i].spec.message, "Download failed");
    EXPECT_EQ(fake.ui.alerts[i].spec.informative, errors[i]);
    EXPECT_TRUE(fake.ui.alerts[i].spec.buttons.empty());
  }
  EXPECT_TRUE(app.downloads.empty());
  // The empty reservation is taken back; what the engine wrote is kept.
  EXPECT_FALSE(files::exists(reserved));
  EXPECT_EQ(files::read(other), "partial");
  app.onDownloadFinished(1);
  EXPECT_TRUE(fake.desktop.shown.empty());
}

TEST_F(WebContentTest, AnUnwritableFolderCancelsWithAnAlert) {
  std::string blocker = home.path() + "/file";
  std::ofstream(blocker) << "x";
  fake.desktop.downloads = blocker + "/Downloads";
  EXPECT_EQ(app.downloadDestination(1, "a.txt"), "");
  EXPECT_TRUE(app.downloads.empty());
  fake.loop.drain();
  ASSERT_EQ(fake.ui.alerts.size(), 1u);
  EXPECT_EQ(fake.ui.alerts[0].spec.message, "Download failed");
  EXPECT_FALSE(fake.ui.alerts[0].spec.informative.empty());
}

TEST_F(WebContentTest, ScriptPanels) {
  struct Case {
    int code;
    bool confirmed;
  } cases[] = {
      {kAlertFirstButton, true}, {kAlertFirstButton + 1, false}, {kAlertFirstButton + 2, false}};
  for (const auto& c : cases) {
    fake.ui.alerts.clear();
    std::optional<bool> answer;
    app.onScriptConfirm("Delete it?", [&](bool ok) { answer = ok; });
    EXPECT_TRUE(fake.ui.alerts.empty());  // never shown from inside the engine's callback
    fake.loop.drain();
    ASSERT_EQ(fake.ui.alerts.size(), 1u);
    EXPECT_EQ(fake.ui.alerts[0].spec.message, "Delete it?");
    EXPECT_EQ(fake.ui.alerts[0].spec.buttons, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_FALSE(answer);
    fake.ui.alerts[0].done(c.code);
    EXPECT_EQ(answer, c.confirmed) << c.code;
  }

  fake.ui.alerts.clear();
  int done = 0;
  app.onScriptAlert("", [&] { ++done; });
  fake.loop.drain();
  ASSERT_EQ(fake.ui.alerts.size(), 1u);
  EXPECT_EQ(fake.ui.alerts[0].spec.message, "");
  EXPECT_TRUE(fake.ui.alerts[0].spec.buttons.empty());
  EXPECT_EQ(done, 0);
  fake.ui.alerts[0].done(kAlertFirstButton);
  EXPECT_EQ(done, 1);
}

}  // namespace
}  // namespace qm

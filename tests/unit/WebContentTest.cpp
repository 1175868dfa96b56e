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
    app.buildWindow();
    std::filesystem::create_directory(dir);
    fake.desktop.downloads = dir;
  }
  ~WebContentTest() override { initGlobals(); }
  std::vector<std::string> alertTexts() {
    fake.loop.drain();
    std::vector<std::string> out;
    for (auto& a : fake.ui.alerts) out.push_back(a.spec.message + "|" + a.spec.informative);
    return out;
  }

  test::TempHome home;
  test::FakePlatform fake;
  AppDelegate app{fake.platform};
  std::string dir = home.path() + "/Downloads";
};

TEST_F(WebContentTest, LinksLeaveForTheBrowserOrASiblingApp) {
  fake.desktop.installed = {"app.quillmarsh.studio.desktop"};
  EXPECT_FALSE(app.allowNavigation(true, "https://elsewhere.test/a"));
  EXPECT_TRUE(app.allowNavigation(false, "https://elsewhere.test/b"));
  app.onNewWindowRequest("http://127.0.0.1:8790/studio");
  app.onNewWindowRequest("http://127.0.0.1:8787/console");
  EXPECT_EQ(fake.desktop.opened, (std::vector<std::string>{"https://elsewhere.test/a",
                                                           "http://127.0.0.1:8787/console"}));
  EXPECT_EQ(fake.desktop.launched, std::vector<std::string>{"app.quillmarsh.studio.desktop"});
}

TEST_F(WebContentTest, DownloadsGetTheirOwnFilesAndOnlyTheFinishedOneIsShown) {
  std::ofstream(dir + "/report.pdf") << "keep";
  std::string a = app.downloadDestination(1, "report.pdf");
  std::string b = app.downloadDestination(2, "report.pdf");  // both in flight at once
  EXPECT_EQ(a, dir + "/report 2.pdf");
  EXPECT_EQ(b, dir + "/report 3.pdf");
  app.onDownloadFinished(2);
  app.onDownloadFinished(2);
  app.onDownloadFinished(99);
  EXPECT_EQ(fake.desktop.shown, std::vector<std::string>{b});
  EXPECT_EQ(app.downloads, (std::map<DownloadId, std::string>{{1, a}}));
  EXPECT_EQ(files::read(dir + "/report.pdf"), "keep");
}

TEST_F(WebContentTest, WithoutAKnownDownloadsFolderTheHomeOneIsMade) {
  fake.desktop.downloads.reset();
  std::filesystem::remove_all(dir);
  EXPECT_EQ(app.downloadDestination(1, "../a.txt"), dir + "/.._a.txt");
}

TEST_F(WebContentTest, FailuresShowTheEngineTextAndTakeBackOnlyEmptyReservations) {
  std::string reserved = app.downloadDestination(1, "a.txt");
  std::string written = app.downloadDestination(2, "b.txt");
  std::ofstream(written) << "partial";
  app.onDownloadFailed(1, "Connection reset");
  app.onDownloadFailed(2, "Disk full");
  app.onDownloadFailed(3, "Not found");  // before it had a destination
  EXPECT_TRUE(fake.ui.alerts.empty());   // never from inside the engine's callback
  EXPECT_EQ(alertTexts(),
            (std::vector<std::string>{"Download failed|Connection reset",
                                      "Download failed|Disk full", "Download failed|Not found"}));
  EXPECT_TRUE(app.downloads.empty());
  EXPECT_FALSE(files::exists(reserved));
  EXPECT_EQ(files::read(written), "partial");

  fake.ui.alerts.clear();
  std::ofstream(home.path() + "/file") << "x";
  fake.desktop.downloads = home.path() + "/file/Downloads";  // cannot be made
  EXPECT_EQ(app.downloadDestination(4, "c.txt"), "");
  EXPECT_EQ(alertTexts(), std::vector<std::string>{"Download failed|Not a directory"});
}

TEST_F(WebContentTest, ConfirmIsTrueOnlyForOkAndAlertsComplete) {
  struct Case {
    int code;
    bool confirmed;
  } cases[] = {
      {kAlertFirstButton, true}, {kAlertFirstButton + 1, false}, {kAlertFirstButton + 2, false}};
  for (const auto& c : cases) {
    fake.ui.alerts.clear();
    std::optional<bool> answer;
    app.onScriptConfirm("Delete it?", [&](bool ok) { answer = ok; });
    EXPECT_EQ(alertTexts(), std::vector<std::string>{"Delete it?|"});
    EXPECT_EQ(fake.ui.alerts[0].spec.buttons, (std::vector<std::string>{"OK", "Cancel"}));
    fake.ui.alerts[0].done(c.code);
    EXPECT_EQ(answer, c.confirmed) << c.code;
  }
  fake.ui.alerts.clear();
  int done = 0;
  app.onScriptAlert("", [&] { ++done; });
  ASSERT_EQ(alertTexts(), std::vector<std::string>{"|"});
  EXPECT_TRUE(fake.ui.alerts[0].spec.buttons.empty());
  EXPECT_EQ(done, 0);
  fake.ui.alerts[0].done(kAlertFirstButton);
  EXPECT_EQ(done, 1);
}

}  // namespace
}  // namespace qm

#include "web/WebContent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "core/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

using namespace qm;

namespace {

struct WebContentTest : testing::Test {
  using Shown = std::tuple<std::string, std::string, std::vector<std::string>>;
  test::TempHome home;
  test::FakeLoop loop;
  test::FakeUi ui;
  test::FakeDesktop desktop;
  test::FakeNotifier notifier;
  ServerInUse server;
  WebContent web{desktop, ui, ui, notifier, loop, server};

  std::vector<Shown> alerts() {
    std::vector<Shown> out;
    for (auto& a : ui.alerts) out.emplace_back(a.spec.message, a.spec.informative, a.spec.buttons);
    return out;
  }
};

TEST_F(WebContentTest, DownloadsClaimTheNextFreeNameShowWhenFinishedAndAlertWhenFailed) {
  std::string dir = home.path() + "/Downloads";  // none known: the one in home is made
  EXPECT_EQ(web.downloadDestination(1, "a/b.pdf"), dir + "/a_b.pdf");
  EXPECT_EQ(web.downloadDestination(2, "a/b.pdf"), dir + "/a_b 2.pdf");
  EXPECT_EQ(web.downloadDestination(3, "a/b.pdf"), dir + "/a_b 3.pdf");
  ASSERT_TRUE(files::writeAtomic(dir + "/a_b 3.pdf", "part"));
  for (DownloadId id : {2, 2, 4}) web.onDownloadFinished(id);
  web.onDownloadFailed(1, "Connection reset");
  web.onDownloadFailed(3, "Disk full");  // while the first alert shows: dropped
  EXPECT_TRUE(ui.alerts.empty());
  loop.drain();
  EXPECT_EQ(alerts(), (std::vector<Shown>{{"Download failed", "Connection reset", {}}}));
  EXPECT_FALSE(files::exists(dir + "/a_b.pdf"));
  EXPECT_EQ(files::read(dir + "/a_b 3.pdf"), "part");
  ui.alerts[0].done(kAlertFirstButton);
  web.onDownloadFailed(5, "Timed out");
  loop.drain();
  EXPECT_EQ(alerts().back(), (Shown{"Download failed", "Timed out", {}}));
  web.onScriptAlert("hi", [] {}), loop.drain();
  // A page of the server stays; another site's goes to the browser.
  server.use(kLocalHost);
  EXPECT_EQ(std::tuple(web.allowNavigation("http://127.0.0.1:8795/x"),
                       web.allowNavigation("https://example.org/"), desktop.opened),
            std::tuple(true, false, std::vector<std::string>{"https://example.org/"}));
  EXPECT_EQ(alerts().back(), (Shown{"hi", "", {}}));
  // The file manager is shown at most once every three seconds, then with the latest file.
  desktop.downloads = home.path() + "/Dl";  // there already: a folder, yet not the home
  std::filesystem::create_directories(*desktop.downloads);
  for (DownloadId id : {7, 8, 9}) web.downloadDestination(id, "c"), web.onDownloadFinished(id);
  loop.advance(2.9);
  EXPECT_EQ(desktop.shown, std::vector<std::string>{dir + "/a_b 2.pdf"});
  loop.advance(10);
  EXPECT_EQ(desktop.shown, (std::vector<std::string>{dir + "/a_b 2.pdf", home.path() + "/Dl/c 3"}));
  EXPECT_TRUE(notifier.posted.empty());  // all ended in front
}

TEST_F(WebContentTest, LauncherFollowsRunningDownloadsTwiceASecondAndAnEndAwayIsNotified) {
  web.downloadDestination(1, "a.pdf"), web.downloadDestination(2, "b");   // b: of unknown size
  web.onDownloadProgress(1, 50, 100), web.onDownloadProgress(9, 10, 10);  // 9: not ours
  loop.advance(0.5);
  web.onDownloadProgress(1, 100, 100);
  ui.inFront = false;
  web.onDownloadFinished(1), web.onDownloadFailed(2, "Gone");  // the last one: hidden at once
  EXPECT_EQ(notifier.progress, (std::vector<std::optional<double>>{0.0, 0.5, {}}));
  EXPECT_EQ(notifier.posted,
            (decltype(notifier.posted){{"a.pdf downloaded", home.path() + "/Downloads"}}));
}

}  // namespace

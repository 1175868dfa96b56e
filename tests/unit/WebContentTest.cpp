#include "web/WebContent.h"

#include <gtest/gtest.h>

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
  ServerInUse server;
  WebContent web{desktop, ui, loop, server};

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
  // The file manager is shown at most once every three seconds, then with the latest file.
  desktop.downloads = home.path() + "/Dl";
  for (DownloadId id : {7, 8, 9}) web.downloadDestination(id, "c"), web.onDownloadFinished(id);
  loop.advance(2.9);
  EXPECT_EQ(desktop.shown, std::vector<std::string>{dir + "/a_b 2.pdf"});
  loop.advance(10);
  EXPECT_EQ(desktop.shown, (std::vector<std::string>{dir + "/a_b 2.pdf", home.path() + "/Dl/c 3"}));
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>

#include "app/AppDelegate.h"
#include "core/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

using namespace qm;
using Strings = std::vector<std::string>;

// Launched with no server and no service folder: every menu item, every action as the menu hands
// it over, then destruction with every kind of work under way.
TEST(AppDelegate, MenuActionsRunTheirOperationsAndDestructionLeavesNothingThatReachesIt) {
  test::TempHome home;
  std::filesystem::create_directories(home.path() + "/x/Dashboard Versions");
  test::FakePlatform fp;
  fp.settings.values = {{"showIntro", false}, {"introSound", true}};
  fp.bundle.info["QMQuarnDir"] = "~/x/quarn";
  auto app = std::make_unique<AppDelegate>(fp.platform);
  app->applicationDidFinishLaunching();
  std::string got;
  for (auto& m : fp.ui.menus) {
    got += "[" + m.title + "] ";
    for (auto& i : m.items)
      got += i.title + "|" + i.action + "|" + i.accel + (i.delegate ? "|app" : "") +
             (i.state ? (*i.state ? "|on" : "|off") : "") + "; ";
  }
  EXPECT_EQ(
      got,
      "[] About Quillmarsh Quarn|showAbout||app; ||; Play Intro|replayIntro||app; Show Intro "
      "at Launch|toggleIntro||app|off; Play Intro Sound|toggleIntroSound||app|on; ||; Open "
      "Quillmarsh HQ|openHQ|<Control>1|app; Open Quillmarsh Studio|openStudio|<Control>2|app; "
      "Open Version Archive Folder|openExports||app; Restart Quarn Service|restartService||"
      "app; ||; Hide Quillmarsh Quarn|hide|<Control>h; ||; Quit Quillmarsh Quarn|terminate|"
      "<Control>q; Stop Quarn Service and Quit\u2026|quitAndStop||app; [Edit] Undo|undo|"
      "<Control>z; Redo|redo|<Control><Shift>z; ||; Cut|cut|<Control>x; Copy|copy|<Control>"
      "c; Paste|paste|<Control>v; Select All|selectAll|<Control>a; [View] Reload|reloadWeb|"
      "<Control>r|F5|app; [Window] Minimize|minimize|<Control>m; Close|close|<Control>w; ");

  fp.bundle.resources["intro.html"] = "/intro.html";       // only now, for "Play Intro"
  fp.http.respond(kProbePath, test::FakeHttp::failure());  // no server: the connect page
  for (auto& m : fp.ui.menus)
    for (auto& i : m.items) fp.ui.onAction(i.action);
  fp.http.respond(kProbePath, test::FakeHttp::status(200));  // the restarted service is up
  fp.bundle.info["QMQuarnDir"] = home.path() + "/x/quarn";   // and the folder named in full
  fp.ui.onAction("openExports");
  auto& w = *fp.ui.window;
  EXPECT_EQ(fp.ui.abouts.at(0).first + "\n" + fp.ui.abouts[0].second,
            "Quillmarsh Quarn\nPeople, permissions, security, confidentiality and software "
            "archives. Part of the Quillmarsh Development Suite.\nWorks with the suite server on "
            "this computer or on the Quillmarsh Mac.\nShares its sign-in with Quillmarsh HQ and "
            "Quillmarsh Studio.");
  EXPECT_EQ(fp.desktop.launched,
            (Strings{"app.quillmarsh.console.desktop", "app.quillmarsh.studio.desktop"}));
  EXPECT_EQ(fp.desktop.opened, Strings(2, "file://" + home.path() + "/x/Dashboard%20Versions"));
  using Map = std::map<std::string, bool>;  // the toggles flip the setting and the menu check
  EXPECT_EQ(std::tuple(w.intros.size(), w.presented, fp.settings.values, fp.ui.states,
                       fp.ui.alerts.at(0).spec.message),
            std::tuple(1u, 2, Map{{"showIntro", true}, {"introSound", false}},
                       Map{{"toggleIntro", true}, {"toggleIntroSound", false}},
                       "Stop the Quarn service?"));
  EXPECT_EQ(Strings(w.webView.log.end() - 2, w.webView.log.end()),
            (Strings{"reloadFromOrigin", "reload"}));

  // Besides the intro's guard, the poll timer and the stop alert: a readiness wait, a probe, an
  // overview being read, a store answer and a script panel.
  fp.ui.onAction("restartService");
  fp.http.respond(kProbePath, test::FakeHttp::failure());
  app->onScriptMessage("qmserver", std::string(""));
  fp.cookies.cookies = {{"qmsuite", "v", "127.0.0.1", "/", {}, {}, {}, {}}};
  app->poll();
  fp.http.respond("/api/overview", test::FakeHttp::status(200, R"({"checks":[]})"));
  fp.cookies.deferred = true;
  app->poll();
  app->onScriptAlert("hi", [] {});
  ASSERT_EQ(std::tuple(fp.loop.timers.size(), fp.http.pending.size(), fp.cookies.queued.size(),
                       fp.loop.posted.size()),
            std::tuple(3u, 1u, 1u, 2u));
  app.reset();
  EXPECT_TRUE(fp.loop.timers.empty() && fp.http.pending.empty() && !fp.ui.onAction);
  fp.loop.advance(100);
  fp.ui.alerts.at(0).done(kAlertFirstButton);
  EXPECT_EQ(std::tuple(fp.ui.alerts.size(), fp.ui.quits), std::tuple(1u, 0));
}

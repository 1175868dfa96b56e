#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

namespace qm {
namespace {

struct MenuFixture {
  test::TempHome home;
  test::FakePlatform f;
  std::unique_ptr<AppDelegate> app;

  explicit MenuFixture(std::optional<bool> showIntro = std::nullopt,
                       std::optional<bool> introSound = std::nullopt) {
    initGlobals();
    if (showIntro) f.settings.values["showIntro"] = *showIntro;
    if (introSound) f.settings.values["introSound"] = *introSound;
    app = std::make_unique<AppDelegate>(f.platform);
    app->buildMainMenu();
  }
  void act(const std::string& a) { f.ui.onAction(a); }
};

// title, action, accel, delegate; "-" is a separator.
using Row = std::tuple<std::string, std::string, std::string, bool>;
const Row kSep{"-", "", "", false};

TEST(Menu, FourMenusWithEveryItemInOrder) {
  MenuFixture t;
  std::vector<std::pair<std::string, std::vector<Row>>> expected = {
      {"",
       {{"About Quillmarsh Quarn", "showAbout", "", true},
        kSep,
        {"Play Intro", "replayIntro", "", true},
        {"Show Intro at Launch", "toggleIntro", "", true},
        {"Play Intro Sound", "toggleIntroSound", "", true},
        kSep,
        {"Open Quillmarsh HQ", "openHQ", "<Control>1", true},
        {"Open Quillmarsh Studio", "openStudio", "<Control>2", true},
        {"Open Version Archive Folder", "openExports", "", true},
        {"Restart Quarn Service", "restartService", "", true},
        kSep,
        {"Hide Quillmarsh Quarn", "hide", "<Control>h", false},
        kSep,
        {"Quit Quillmarsh Quarn", "terminate", "<Control>q", false},
        {"Stop Quarn Service and Quit\xE2\x80\xA6", "quitAndStop", "", true}}},
      {"Edit",
       {{"Undo", "undo", "<Control>z", false},
        {"Redo", "redo", "<Control><Shift>z", false},
        kSep,
        {"Cut", "cut", "<Control>x", false},
        {"Copy", "copy", "<Control>c", false},
        {"Paste", "paste", "<Control>v", false},
        {"Select All", "selectAll", "<Control>a", false}}},
      {"View", {{"Reload", "reloadWeb", "<Control>r", true}}},
      {"Window",
       {{"Minimize", "minimize", "<Control>m", false}, {"Close", "close", "<Control>w", false}}},
  };
  ASSERT_EQ(t.f.ui.menus.size(), expected.size());
  for (std::size_t m = 0; m < expected.size(); ++m) {
    auto& menu = t.f.ui.menus[m];
    EXPECT_EQ(menu.title, expected[m].first);
    std::vector<Row> got;
    for (auto& i : menu.items) {
      if (i.separator()) {
        got.push_back(kSep);
        EXPECT_TRUE(i.action.empty());
        continue;
      }
      got.emplace_back(i.title, i.action, i.accel, i.delegate);
      EXPECT_TRUE(g_action_name_is_valid(i.action.c_str())) << i.action;
      EXPECT_EQ(i.state.has_value(), i.action == "toggleIntro" || i.action == "toggleIntroSound")
          << i.action;
    }
    EXPECT_EQ(got, expected[m].second) << menu.title;
  }
}

TEST(Menu, CheckStatesFollowSettings) {
  struct Case {
    std::optional<bool> showIntro, introSound;
    bool introState, soundState;
  } cases[] = {{std::nullopt, std::nullopt, true, true},
               {false, true, false, true},
               {true, false, true, false},
               {false, false, false, false}};
  for (auto& c : cases) {
    MenuFixture t(c.showIntro, c.introSound);
    EXPECT_EQ(t.f.ui.states.at("toggleIntro"), c.introState);
    EXPECT_EQ(t.f.ui.states.at("toggleIntroSound"), c.soundState);
  }
}

TEST(Menu, DelegateActionsReachTheirCommands) {
  MenuFixture t;
  t.app->buildWindow();
  t.act("openHQ");
  t.act("openStudio");
  EXPECT_EQ(t.f.desktop.launched, (std::vector<std::string>{"app.quillmarsh.console.desktop",
                                                            "app.quillmarsh.studio.desktop"}));
  t.act("reloadWeb");
  EXPECT_EQ(t.f.ui.window->webView.lastLoad(), "reloadFromOrigin");
  t.act("showAbout");
  ASSERT_EQ(t.f.ui.abouts.size(), 1u);
  auto& [name, credits] = t.f.ui.abouts[0];
  EXPECT_EQ(name, "Quillmarsh Quarn");
  EXPECT_EQ(credits.substr(0, credits.find('\n')),
            "People, permissions, security, confidentiality and software archives. Part of the "
            "Quillmarsh Development Suite.");
  EXPECT_EQ(std::count(credits.begin(), credits.end(), '\n'), 2);
  t.act("toggleIntro");
  t.act("toggleIntroSound");
  EXPECT_FALSE(t.f.ui.states.at("toggleIntro"));
  EXPECT_FALSE(t.f.ui.states.at("toggleIntroSound"));
  EXPECT_EQ(t.f.settings.values,
            (std::map<std::string, bool>{{"showIntro", false}, {"introSound", false}}));
  t.act("toggleIntro");
  EXPECT_TRUE(t.f.ui.states.at("toggleIntro"));
  // Items the window handles itself, and unknown names, do nothing here.
  for (const char* a : {"terminate", "hide", "undo", "close", "showabout", ""}) t.act(a);
  EXPECT_EQ(t.f.ui.quits, 0);
  EXPECT_TRUE(t.f.ui.alerts.empty());
  EXPECT_EQ(t.f.ui.abouts.size(), 1u);
  EXPECT_EQ(t.f.ui.window->minimized, 0);
}

TEST(Menu, OpenExportsOpensTheSiblingArchiveFolderOnlyWhenItIsAFolder) {
  struct Case {
    std::string quarnDir;  // relative to home
    std::string make;      // "dir", "file" or "" at home/x/Dashboard Versions
    bool opened;
  } cases[] = {
      {"/x/quarn", "dir", true}, {"/x/quarn/", "dir", true},  {"/x/./y/../quarn", "dir", true},
      {"/x/quarn", "", false},   {"/x/quarn", "file", false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.quarnDir + " " + c.make);
    MenuFixture t;
    std::string archive = t.home.path() + "/x/Dashboard Versions";
    std::filesystem::create_directories(t.home.path() + "/x");
    if (c.make == "dir") std::filesystem::create_directories(archive);
    if (c.make == "file") std::ofstream(archive) << "x";
    t.f.bundle.info["QMQuarnDir"] = t.home.path() + c.quarnDir;
    t.act("openExports");
    if (c.opened)
      EXPECT_EQ(t.f.desktop.opened,
                std::vector<std::string>{"file://" + t.home.path() + "/x/Dashboard%20Versions"});
    else
      EXPECT_TRUE(t.f.desktop.opened.empty());
  }
}

}  // namespace
}  // namespace qm

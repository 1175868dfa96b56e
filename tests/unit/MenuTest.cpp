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

// title, action, accel, delegate; a separator has an empty title and nothing else.
using Row = std::tuple<std::string, std::string, std::string, bool>;
const Row kSep{"", "", "", false};

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
  std::vector<std::pair<std::string, std::vector<Row>>> got;
  for (auto& menu : t.f.ui.menus) {
    got.emplace_back(menu.title, std::vector<Row>{});
    for (auto& i : menu.items) {
      got.back().second.emplace_back(i.title, i.action, i.accel, i.delegate);
      EXPECT_TRUE(i.separator() || g_action_name_is_valid(i.action.c_str())) << i.action;
      EXPECT_EQ(i.state.has_value(), i.action == "toggleIntro" || i.action == "toggleIntroSound");
    }
  }
  EXPECT_EQ(got, expected);
}

TEST(Menu, CheckStatesFollowSettings) {
  struct Case {
    std::optional<bool> showIntro, introSound;
  } cases[] = {{std::nullopt, std::nullopt}, {false, true}, {true, false}, {false, false}};
  for (auto& c : cases) {
    MenuFixture t(c.showIntro, c.introSound);
    EXPECT_EQ(t.f.ui.states.at("toggleIntro"), c.showIntro.value_or(true));
    EXPECT_EQ(t.f.ui.states.at("toggleIntroSound"), c.introSound.value_or(true));
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
  // The service folder under home, and what lies at home/x/Dashboard Versions.
  std::vector<std::pair<std::string, std::string>> cases = {
      {"/x/quarn", "dir"}, {"/x/quarn/", "dir"}, {"/x/./y/../quarn", "dir"},
      {"/x/quarn", ""},    {"/x/quarn", "file"},
  };
  for (auto& [quarnDir, make] : cases) {
    SCOPED_TRACE(quarnDir + " " + make);
    MenuFixture t;
    std::string archive = t.home.path() + "/x/Dashboard Versions";
    std::filesystem::create_directories(t.home.path() + "/x");
    if (make == "dir") std::filesystem::create_directories(archive);
    if (make == "file") std::ofstream(archive) << "x";
    t.f.bundle.info["QMQuarnDir"] = t.home.path() + quarnDir;
    t.act("openExports");
    std::vector<std::string> opened;
    if (make == "dir") opened = {"file://" + t.home.path() + "/x/Dashboard%20Versions"};
    EXPECT_EQ(t.f.desktop.opened, opened);
  }
}

}  // namespace
}  // namespace qm

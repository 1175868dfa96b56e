#include <glib.h>

#include <filesystem>
#include <map>
#include <system_error>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "app/Paths.h"

namespace qm {

namespace {

MenuItem item(const char* title, const char* action, const char* accel, bool delegate) {
  MenuItem m;
  m.title = title;
  m.action = action;
  m.accel = accel;
  m.delegate = delegate;
  return m;
}

MenuItem separator() {
  return MenuItem{};
}

// "~" expanded, "." and ".." resolved by name alone, no trailing slash.
std::string standardize(std::string path) {
  if (path == "~" || path.rfind("~/", 0) == 0) path = paths::home() + path.substr(1);
  std::string out = std::filesystem::path(path).lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

void AppDelegate::buildMainMenu() {
  Menu app;
  app.items = {
      item("About Quillmarsh Quarn", "showAbout", "", true),
      separator(),
      item("Play Intro", "replayIntro", "", true),
      item("Show Intro at Launch", "toggleIntro", "", true),
      item("Play Intro Sound", "toggleIntroSound", "", true),
      separator(),
      item("Open Quillmarsh HQ", "openHQ", "<Control>1", true),
      item("Open Quillmarsh Studio", "openStudio", "<Control>2", true),
      item("Open Version Archive Folder", "openExports", "", true),
      item("Restart Quarn Service", "restartService", "", true),
      separator(),
      item("Hide Quillmarsh Quarn", "hide", "<Control>h", false),
      separator(),
      item("Quit Quillmarsh Quarn", "terminate", "<Control>q", false),
      item("Stop Quarn Service and Quit\u2026", "quitAndStop", "", true),
  };
  app.items[3].state = introOn();
  app.items[4].state = introSound.enabled();

  Menu edit{"Edit",
            {
                item("Undo", "undo", "<Control>z", false),
                item("Redo", "redo", "<Control><Shift>z", false),
                separator(),
                item("Cut", "cut", "<Control>x", false),
                item("Copy", "copy", "<Control>c", false),
                item("Paste", "paste", "<Control>v", false),
                item("Select All", "selectAll", "<Control>a", false),
            }};
  Menu view{"View", {item("Reload", "reloadWeb", "<Control>r", true)}};
  Menu win{"Window",
           {
               item("Minimize", "minimize", "<Control>m", false),
               item("Close", "close", "<Control>w", false),
           }};

  platform.ui.installMenu({app, edit, view, win},
                          [this](const std::string& action) { onMenuAction(action); });
}

void AppDelegate::onMenuAction(const std::string& action) {
  using Command = void (AppDelegate::*)();
  static const std::map<std::string, Command> commands = {
      {"showAbout", &AppDelegate::showAbout},
      {"replayIntro", &AppDelegate::replayIntro},
      {"toggleIntro", &AppDelegate::toggleIntro},
      {"toggleIntroSound", &AppDelegate::toggleIntroSound},
      {"openHQ", &AppDelegate::openHQ},
      {"openStudio", &AppDelegate::openStudio},
      {"openExports", &AppDelegate::openExports},
      {"restartService", &AppDelegate::restartService},
      {"quitAndStop", &AppDelegate::quitAndStop},
      {"reloadWeb", &AppDelegate::reloadWeb},
  };
  if (auto it = commands.find(action); it != commands.end()) (this->*it->second)();
}

void AppDelegate::reloadWeb() {
  if (web) web->reloadFromOrigin();
}

void AppDelegate::openHQ() {
  if (auto it = SUITE_APPS.find(8787); it != SUITE_APPS.end())
    platform.desktop.launchApp(it->second);
}

void AppDelegate::openStudio() {
  if (auto it = SUITE_APPS.find(8790); it != SUITE_APPS.end())
    platform.desktop.launchApp(it->second);
}

void AppDelegate::openExports() {
  std::string dir = standardize(quarnDir() + "/../Dashboard Versions");
  // Only a folder: a file of that name would be handed to whatever application opens it.
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return;
  gchar* uri = g_filename_to_uri(dir.c_str(), nullptr, nullptr);
  if (!uri) return;
  std::string u = uri;
  g_free(uri);
  platform.desktop.openUri(u);
}

void AppDelegate::showAbout() {
  platform.ui.showAbout(
      "Quillmarsh Quarn",
      "People, permissions, security, confidentiality and software archives. Part of the "
      "Quillmarsh Development Suite.\n"
      "Works with the suite server on this computer or on the Quillmarsh Mac.\n"
      "Shares its sign-in with Quillmarsh HQ and Quillmarsh Studio.");
}

}  // namespace qm

#include "app/Menu.h"

#include <filesystem>
#include <system_error>

#include "core/Constants.h"
#include "core/Handle.h"
#include "core/Paths.h"

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

void launchSibling(Desktop& desktop, int port) {
  if (auto app = suiteAppOnPort(port)) desktop.launchApp(std::string(*app));
}

}  // namespace

MenuController::MenuController(Ui& ui, Desktop& desktop) : ui_(ui), desktop_(desktop) {}

MenuController::~MenuController() {
  if (installed_) ui_.installMenu({}, nullptr);
}

std::vector<Menu> MenuController::mainMenu(bool showIntro, bool introSound) {
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
  app.items[3].state = showIntro;
  app.items[4].state = introSound;

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
  Menu view{"View", {item("Reload", "reloadWeb", "<Control>r|F5", true)}};
  Menu win{"Window",
           {
               item("Minimize", "minimize", "<Control>m", false),
               item("Close", "close", "<Control>w", false),
           }};
  return {app, edit, view, win};
}

void MenuController::buildMainMenu(bool showIntro, bool introSound, Commands commands) {
  commands_ = std::move(commands);
  ui_.installMenu(mainMenu(showIntro, introSound),
                  [this](const std::string& action) { onMenuAction(action); });
  installed_ = true;
}

void MenuController::onMenuAction(const std::string& action) {
  if (auto it = commands_.find(action); it != commands_.end() && it->second) it->second();
}

void MenuController::openHQ() {
  launchSibling(desktop_, 8787);
}

void MenuController::openStudio() {
  launchSibling(desktop_, 8790);
}

void MenuController::openExports(const std::string& quarnDir) {
  std::string dir = standardize(quarnDir + "/../Dashboard Versions");
  // Only a folder: a file of that name would be handed to whatever application opens it.
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return;
  GCharPtr uri(g_filename_to_uri(dir.c_str(), nullptr, nullptr));
  if (uri) desktop_.openUri(uri.get());
}

void MenuController::showAbout() {
  ui_.showAbout(kAppName,
                "People, permissions, security, confidentiality and software archives. Part of the "
                "Quillmarsh Development Suite.\n"
                "Works with the suite server on this computer or on the Quillmarsh Mac.\n"
                "Shares its sign-in with Quillmarsh HQ and Quillmarsh Studio.");
}

}  // namespace qm

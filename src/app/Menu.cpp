#include "app/Menu.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "core/Constants.h"
#include "core/Handle.h"
#include "core/Paths.h"

namespace qm {

namespace {

MenuItem item(const char* title, Command command, const char* accel = "",
              std::optional<bool> state = std::nullopt) {
  return MenuItem{title, command, accel, state};
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

MenuController::MenuController(MenuBar& menuBar, Dialogs& dialogs, Desktop& desktop)
    : menuBar_(menuBar), dialogs_(dialogs), desktop_(desktop) {}

MenuController::~MenuController() {
  if (installed_) menuBar_.installMenu({}, nullptr);
}

std::vector<Menu> MenuController::mainMenu(bool showIntro, bool introSound) {
  Menu app;
  app.items = {
      item("About Quillmarsh Quarn", Command::ShowAbout),
      separator(),
      item("Play Intro", Command::ReplayIntro),
      item("Show Intro at Launch", Command::ToggleIntro, "", showIntro),
      item("Play Intro Sound", Command::ToggleIntroSound, "", introSound),
      separator(),
      item("Open Quillmarsh HQ", Command::OpenHQ, "<Control>1"),
      item("Open Quillmarsh Studio", Command::OpenStudio, "<Control>2"),
      item("Open Version Archive Folder", Command::OpenExports),
      item("Restart Quarn Service", Command::RestartService),
      separator(),
      item("Hide Quillmarsh Quarn", Command::Hide, "<Control>h"),
      separator(),
      item("Quit Quillmarsh Quarn", Command::Terminate, "<Control>q"),
      item("Stop Quarn Service and Quit\u2026", Command::QuitAndStop),
  };

  Menu edit{"Edit",
            {
                item("Undo", Command::Undo, "<Control>z"),
                item("Redo", Command::Redo, "<Control><Shift>z"),
                separator(),
                item("Cut", Command::Cut, "<Control>x"),
                item("Copy", Command::Copy, "<Control>c"),
                item("Paste", Command::Paste, "<Control>v"),
                item("Select All", Command::SelectAll, "<Control>a"),
            }};
  Menu view{"View", {item("Reload", Command::ReloadWeb, "<Control>r|F5")}};
  Menu win{"Window",
           {
               item("Minimize", Command::Minimize, "<Control>m"),
               item("Close", Command::Close, "<Control>w"),
           }};
  return {app, edit, view, win};
}

void MenuController::buildMainMenu(bool showIntro, bool introSound, Commands commands) {
  commands_ = std::move(commands);
  menuBar_.installMenu(mainMenu(showIntro, introSound),
                       [this](Command command) { onCommand(command); });
  installed_ = true;
}

void MenuController::onCommand(Command command) {
  if (auto it = commands_.find(command); it != commands_.end() && it->second) it->second();
}

void MenuController::openHQ() {
  launchSibling(desktop_, HQ_PORT);
}

void MenuController::openStudio() {
  launchSibling(desktop_, STUDIO_PORT);
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
  dialogs_.showAbout(
      kAppName,
      "People, permissions, security, confidentiality and software archives. Part of the "
      "Quillmarsh Development Suite.\n"
      "Works with the suite server on this computer or on the Quillmarsh Mac.\n"
      "Shares its sign-in with Quillmarsh HQ and Quillmarsh Studio.");
}

}  // namespace qm

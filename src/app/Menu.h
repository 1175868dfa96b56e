#pragma once
// The menu bar and the commands that only it reaches.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/MenuBar.h"

namespace qm {

class MenuController {
 public:
  using Commands = std::map<Command, std::function<void()>>;

  MenuController(MenuBar& menuBar, Dialogs& dialogs, Desktop& desktop);
  ~MenuController();
  MenuController(const MenuController&) = delete;
  MenuController& operator=(const MenuController&) = delete;

  // The four menus, with the check states of the two intro settings.
  static std::vector<Menu> mainMenu(bool showIntro, bool introSound);
  // Installs the menu bar; each item the app runs calls its entry in `commands`.
  void buildMainMenu(bool showIntro, bool introSound, Commands commands);
  void onCommand(Command command);

  void openHQ();
  void openStudio();
  // The suite's "Dashboard Versions" folder beside the service folder, when it is a folder.
  void openExports(const std::string& quarnDir);
  void showAbout();

 private:
  MenuBar& menuBar_;
  Dialogs& dialogs_;
  Desktop& desktop_;
  Commands commands_;
  bool installed_ = false;
};

}  // namespace qm

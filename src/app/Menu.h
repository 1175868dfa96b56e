#pragma once
// The menu bar and the commands that only it reaches.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/Ui.h"

namespace qm {

class MenuController {
 public:
  using Commands = std::map<std::string, std::function<void()>>;

  MenuController(Ui& ui, Desktop& desktop);
  ~MenuController();
  MenuController(const MenuController&) = delete;
  MenuController& operator=(const MenuController&) = delete;

  // The four menus, with the check states of the two intro settings.
  static std::vector<Menu> mainMenu(bool showIntro, bool introSound);
  // Installs the menu bar; its delegate items run the command of their action name.
  void buildMainMenu(bool showIntro, bool introSound, Commands commands);
  void onMenuAction(const std::string& action);

  void openHQ();
  void openStudio();
  // The suite's "Dashboard Versions" folder beside the service folder, when it is a folder.
  void openExports(const std::string& quarnDir);
  void showAbout();

 private:
  Ui& ui_;
  Desktop& desktop_;
  Commands commands_;
  bool installed_ = false;
};

}  // namespace qm

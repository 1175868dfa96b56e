#pragma once
// The application's menu bar.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Command.h"

namespace qm {

struct MenuItem {
  std::string title;          // empty for a separator
  Command command{};          // what it runs; not read for a separator
  std::string accel;          // GTK accelerator, e.g. "<Control>1"; "|" adds more; empty for none
  std::optional<bool> state;  // check state, for items that have one
  bool separator() const { return title.empty(); }
};

struct Menu {
  std::string title;  // empty for the application menu
  std::vector<MenuItem> items;
};

class MenuBar {
 public:
  virtual ~MenuBar() = default;
  // Installs the menu bar, replacing the menu and actions installed before; an empty list
  // removes them. Items of commands the app runs call onCommand; the toolkit runs the others.
  virtual void installMenu(const std::vector<Menu>& menus,
                           std::function<void(Command)> onCommand) = 0;
  virtual void setMenuItemState(Command command, bool on) = 0;
};

}  // namespace qm

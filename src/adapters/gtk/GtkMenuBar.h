#pragma once
// The app's menu bar on GTK: its actions, and the menu's keys in every window of the app.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adapters/gtk/GtkPageKeys.h"
#include "adapters/gtk/GtkWindows.h"
#include "core/Handle.h"
#include "platform/AppShell.h"
#include "platform/MenuBar.h"

namespace qm::gtk {

class GtkMenuBar : public MenuBar {
 public:
  GtkMenuBar(GtkWindows& windows, AppShell& shell);
  ~GtkMenuBar() override;
  GtkMenuBar(const GtkMenuBar&) = delete;
  GtkMenuBar& operator=(const GtkMenuBar&) = delete;

  void installMenu(const std::vector<Menu>& menus, std::function<void(Command)> onCommand) override;
  void setMenuItemState(Command command, bool on) override;

  // The menu's keys, named, for the shortcuts window.
  const std::vector<KeyHelp>& menuKeys() const { return menuKeys_; }

 private:
  struct Action;
  // A command the toolkit runs, on the window in front and its focused view.
  void runBuiltIn(Command command);
  void runEditing(Command command, GtkWindow* front);
  void removeMenu();

  GtkWindows& windows_;
  AppShell& shell_;
  GtkApplication* app_;
  GPtr<GListStore> shortcuts_;  // the menu's keys, shared by every window's controller
  SignalConnection windowAdded_;
  std::vector<KeyHelp> menuKeys_;
  std::function<void(Command)> onCommand_;
  std::vector<std::unique_ptr<Action>> actions_;
};

}  // namespace qm::gtk

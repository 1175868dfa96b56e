#pragma once
// The application object, its main window, its menu bar and its modal dialogs.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/MainViewEvents.h"
#include "platform/MainWindow.h"

namespace qm {

struct MenuItem {
  std::string title;          // empty for a separator
  std::string action;         // action name; empty for a separator
  std::string accel;          // GTK accelerator, e.g. "<Control>1"; "|" adds more; empty for none
  bool delegate = false;      // handled by the application (else by the window/web view)
  std::optional<bool> state;  // check state, for items that have one
  bool separator() const { return title.empty(); }
};

struct Menu {
  std::string title;  // empty for the application menu
  std::vector<MenuItem> items;
};

struct AlertSpec {
  std::string message;
  std::string informative;
  // Buttons in order; the first answers 1000, the second 1001 and so on. Empty means one "OK".
  std::vector<std::string> buttons;
};

constexpr int kAlertFirstButton = 1000;

using AlertId = std::uint64_t;

class Ui {
 public:
  virtual ~Ui() = default;
  // Creates the main window with its web view; the window is not shown yet. The main view's
  // messages, policy decisions, downloads and script panels go to `events` until the window
  // is destroyed.
  virtual std::unique_ptr<MainWindow> createMainWindow(MainViewEvents events) = 0;
  // Installs the menu bar, replacing the menu and actions installed before; an empty list
  // removes them. Delegate items call onAction with their action name.
  virtual void installMenu(const std::vector<Menu>& menus,
                           std::function<void(const std::string&)> onAction) = 0;
  virtual void setMenuItemState(const std::string& action, bool on) = 0;
  // A modal alert on the main window. done gets the button's code (kAlertFirstButton for the
  // first); a dialog closed otherwise answers kAlertFirstButton + buttons.size().
  virtual AlertId alert(const AlertSpec& spec, std::function<void(int)> done) = 0;
  // Takes an alert away unanswered: its done is never called. Unknown ids are ignored.
  virtual void closeAlert(AlertId id) = 0;
  virtual void showAbout(const std::string& name, const std::string& credits) = 0;
  // Whether one of the app's windows is the active one (in front, with the focus).
  virtual bool appInFront() = 0;
  virtual void quit() = 0;
};

}  // namespace qm

#pragma once
// The keyboard shortcuts window: the menus' keys and the page's, made when first asked for.

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "core/Handle.h"

namespace qm::gtk {

// One line of the shortcuts window; accel is a trigger string, "|" between alternatives.
struct KeyHelp {
  std::string group;
  std::string title;
  std::string accel;
};

class GtkShortcutsWindow {
 public:
  // keys: the lines to list, asked for when the window is first shown.
  GtkShortcutsWindow(GtkWindow* parent, std::function<std::vector<KeyHelp>()> keys);
  ~GtkShortcutsWindow();
  GtkShortcutsWindow(const GtkShortcutsWindow&) = delete;
  GtkShortcutsWindow& operator=(const GtkShortcutsWindow&) = delete;

  void present();

 private:
  GtkWindow* parent_;
  std::function<std::vector<KeyHelp>()> keys_;
  GPtr<GtkWindow> window_;
};

}  // namespace qm::gtk

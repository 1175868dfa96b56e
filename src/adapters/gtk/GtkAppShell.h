#pragma once
// The application on GTK as a whole: whether it is in front, and quitting it.

#include "adapters/gtk/GtkWindows.h"
#include "platform/AppShell.h"

namespace qm::gtk {

class GtkAppShell : public AppShell {
 public:
  explicit GtkAppShell(GtkWindows& windows) : windows_(windows) {}

  bool appInFront() override;
  void quit() override;

 private:
  GtkWindows& windows_;
};

}  // namespace qm::gtk

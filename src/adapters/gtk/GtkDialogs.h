#pragma once
// The app's dialogs on GTK: modal alerts on the main window, the About dialog.

#include <gtk/gtk.h>

#include <map>
#include <string>

#include "adapters/gtk/GtkWindows.h"
#include "platform/Dialogs.h"

namespace qm::gtk {

class GtkDialogs : public Dialogs {
 public:
  explicit GtkDialogs(GtkWindows& windows) : windows_(windows) {}
  ~GtkDialogs() override;
  GtkDialogs(const GtkDialogs&) = delete;
  GtkDialogs& operator=(const GtkDialogs&) = delete;

  AlertId alert(const AlertSpec& spec, std::function<void(int)> done) override;
  void closeAlert(AlertId id) override;
  void showAbout(const std::string& name, const std::string& credits) override;

 private:
  struct Pending;
  // The main window, when there is one: the dialogs' parent.
  GtkWindow* parent() const;

  GtkWindows& windows_;
  std::map<AlertId, GtkWindow*> alerts_;  // open, unanswered
  AlertId nextAlert_ = 1;
};

}  // namespace qm::gtk

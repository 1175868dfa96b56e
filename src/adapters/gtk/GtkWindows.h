#pragma once
// The app's windows on GTK: the main window's making, the window in front, and the look every
// window shares.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <vector>

#include "adapters/gtk/GtkMainWindow.h"
#include "adapters/gtk/GtkPageKeys.h"
#include "adapters/webkit/WebKitSession.h"
#include "core/Handle.h"
#include "platform/MainWindowFactory.h"

namespace qm::gtk {

class GtkWindows : public MainWindowFactory {
 public:
  // menuKeys: the menu bar's keys, named, for the shortcuts window.
  GtkWindows(GtkApplication* app, webkit::WebKitSession& web,
             std::function<std::vector<KeyHelp>()> menuKeys);
  ~GtkWindows() override;
  GtkWindows(const GtkWindows&) = delete;
  GtkWindows& operator=(const GtkWindows&) = delete;

  std::unique_ptr<MainWindow> createMainWindow(MainViewEvents events) override;

  GtkMainWindow* mainWindow() const { return main_; }
  GtkApplication* application() const { return app_; }
  std::vector<KeyHelp> menuKeys() const { return menuKeys_(); }
  // The app's window that had the focus last, else the main window.
  GtkWindow* frontWindow() const;
  void windowGone(GtkMainWindow* window);

 private:
  GtkApplication* app_;
  webkit::WebKitSession& web_;
  std::function<std::vector<KeyHelp>()> menuKeys_;
  GPtr<GtkCssProvider> css_;
  GtkMainWindow* main_ = nullptr;  // owned by whoever created it
};

}  // namespace qm::gtk

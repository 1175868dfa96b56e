#pragma once
// The app's UI on GTK: the menu bar and its actions, modal alerts, the About dialog.

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "adapters/gtk/GtkMainWindow.h"
#include "adapters/webkit/WebKitSession.h"
#include "core/Handle.h"
#include "platform/Ui.h"

namespace qm::gtk {

class GtkUi : public Ui {
 public:
  GtkUi(GtkApplication* app, webkit::WebKitSession& web);
  ~GtkUi() override;
  GtkUi(const GtkUi&) = delete;
  GtkUi& operator=(const GtkUi&) = delete;

  std::unique_ptr<MainWindow> createMainWindow(MainViewEvents events) override;
  void installMenu(const std::vector<Menu>& menus,
                   std::function<void(const std::string&)> onAction) override;
  void setMenuItemState(const std::string& action, bool on) override;
  AlertId alert(const AlertSpec& spec, std::function<void(int)> done) override;
  void closeAlert(AlertId id) override;
  void showAbout(const std::string& name, const std::string& credits) override;
  void quit() override;
  bool appInFront() override;

  GtkMainWindow* mainWindow() const { return main_; }
  GtkApplication* application() const { return app_; }
  // The menu's keys, named, for the shortcuts window.
  const std::vector<KeyHelp>& menuKeys() const { return menuKeys_; }
  void windowGone(GtkMainWindow* window);

 private:
  struct Action;
  // The app's window that had the focus last, else the main window.
  GtkWindow* frontWindow() const;
  void runBuiltIn(const std::string& action);
  void removeMenu();

  GtkApplication* app_;
  webkit::WebKitSession& web_;
  GPtr<GtkCssProvider> css_;
  GPtr<GListStore> shortcuts_;  // the menu's keys, shared by every window's controller
  SignalConnection windowAdded_;
  std::vector<KeyHelp> menuKeys_;
  GtkMainWindow* main_ = nullptr;  // owned by whoever created it
  std::function<void(const std::string&)> onAction_;
  std::vector<std::unique_ptr<Action>> actions_;
  struct Pending;
  std::map<AlertId, GtkWindow*> alerts_;  // open, unanswered
  AlertId nextAlert_ = 1;
};

}  // namespace qm::gtk

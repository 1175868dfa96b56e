#pragma once
// What the main window answers beyond its menu, on keys the page leaves unhandled and on the
// mouse: zoom, the find bar, print, back and forward, fullscreen and the shortcuts window.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "adapters/gtk/GtkFindBar.h"
#include "adapters/gtk/GtkShortcutsWindow.h"
#include "adapters/gtk/GtkZoom.h"

namespace qm::gtk {

class GtkPageKeys {
 public:
  // menuKeys: the menu's shortcuts at the time the shortcuts window is opened.
  GtkPageKeys(GtkWindow* window, GtkOverlay* overlay, WebKitWebView* view,
              std::function<std::vector<KeyHelp>()> menuKeys);
  ~GtkPageKeys();
  GtkPageKeys(const GtkPageKeys&) = delete;
  GtkPageKeys& operator=(const GtkPageKeys&) = delete;

  static std::vector<KeyHelp> help();

 private:
  struct Command;
  struct Binding;
  static const std::vector<Command>& commands();

  void addController(GtkWidget* widget, GtkEventController* controller);
  bool zoomIn() { return zoom_.step(1), true; }
  bool zoomOut() { return zoom_.step(-1), true; }
  bool zoomReset() { return zoom_.step(0), true; }
  bool openFind() { return find_.open(); }
  bool findNext() { return find_.step(true); }
  bool findPrevious() { return find_.step(false); }
  bool print();
  bool back();
  bool forward();
  bool toggleFullscreen();
  bool showShortcuts() { return shortcuts_.present(), true; }

  GtkWindow* window_;
  WebKitWebView* view_;
  GtkFindBar find_;
  GtkShortcutsWindow shortcuts_;
  GtkZoom zoom_;
  std::vector<std::unique_ptr<Binding>> bindings_;
  std::vector<std::pair<GtkWidget*, GtkEventController*>> controllers_;  // owned by the widgets
};

}  // namespace qm::gtk

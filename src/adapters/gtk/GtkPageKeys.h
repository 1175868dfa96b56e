#pragma once
// What the main window answers beyond its menu, on keys the page leaves unhandled and on the
// mouse: zoom kept per server host, the find bar, print, back and forward, fullscreen and the
// shortcuts window.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Handle.h"
#include "window/PageControls.h"

namespace qm::gtk {

// One line of the shortcuts window; accel is a trigger string, "|" between alternatives.
struct KeyHelp {
  std::string group;
  std::string title;
  std::string accel;
};

class GtkPageKeys {
 public:
  // menuKeys: the menu's shortcuts at the time the shortcuts window is opened.
  GtkPageKeys(GtkWindow* window, GtkOverlay* overlay, WebKitWebView* view,
              std::function<std::vector<KeyHelp>()> menuKeys);
  ~GtkPageKeys();
  GtkPageKeys(const GtkPageKeys&) = delete;
  GtkPageKeys& operator=(const GtkPageKeys&) = delete;

  // "zoom-levels" in $XDG_STATE_HOME/app.quillmarsh.quarn.
  static std::string zoomPath();
  static std::vector<KeyHelp> help();

 private:
  struct Command;
  struct Binding;
  static const std::vector<Command>& commands();

  void addController(GtkWidget* widget, GtkEventController* controller);
  bool zoomIn() { return zoom(1); }
  bool zoomOut() { return zoom(-1); }
  bool zoomReset() { return zoom(0); }
  bool zoom(int steps);
  void applyZoom();
  bool openFind();
  bool findNext() { return findStep(true); }
  bool findPrevious() { return findStep(false); }
  bool findStep(bool forward);
  void search();
  void showCount();
  void findClosed();
  bool print();
  bool back();
  bool forward();
  bool toggleFullscreen();
  bool showShortcuts();

  GtkWindow* window_;
  WebKitWebView* view_;
  WebKitFindController* find_;
  std::function<std::vector<KeyHelp>()> menuKeys_;
  std::vector<std::unique_ptr<Binding>> bindings_;
  std::vector<SignalConnection> signals_;
  std::vector<std::pair<GtkWidget*, GtkEventController*>> controllers_;  // owned by the widgets
  GtkWidget* findBar_;
  GtkWidget* findEntry_;
  GtkWidget* findCount_;
  GPtr<GtkWindow> shortcuts_;
  page::ZoomLevels levels_;
  bool zoomFileBroken_ = false;
  // The host whose level the page shows: the page's own, or for the app's own pages the host
  // shown last ("" before any, a level kept only while the app runs).
  std::string zoomHost_;
  bool searching_ = false;
  bool counting_ = false;  // the next match count is the whole page's
  unsigned matchIndex_ = 0, matchCount_ = 0;
};

}  // namespace qm::gtk

#pragma once
// The main window: a GtkApplicationWindow with the main web view under a GtkOverlay, its size
// and maximized state kept in a state file.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapters/gtk/GtkPageKeys.h"
#include "adapters/webkit/WebKitSession.h"
#include "adapters/webkit/WebKitView.h"
#include "core/Handle.h"
#include "platform/Ui.h"

namespace qm::gtk {

class GtkUi;

class GtkMainWindow : public MainWindow {
 public:
  GtkMainWindow(GtkUi& ui, webkit::WebKitSession& web, MainViewEvents events);
  ~GtkMainWindow() override;
  GtkMainWindow(const GtkMainWindow&) = delete;
  GtkMainWindow& operator=(const GtkMainWindow&) = delete;

  WebView& web() override { return *web_; }
  void present() override;
  void minimize() override;
  std::unique_ptr<IntroView> createIntroView(const std::string& htmlPath,
                                             IntroEvents& events) override;

  GtkWindow* window() const { return window_.get(); }
  WebKitWebView* webView() const { return web_->widget(); }
  // The launcher's token that lets the next present() bring the window forward on desktops
  // that ask for one (Wayland's activation, X11's startup notification).
  void setActivationToken(std::string token) { activationToken_ = std::move(token); }
  // Size and maximized state, kept for the next launch (GlibWindowState).
  void saveState();

 private:
  // A script message of the main view, handed to that channel's handler in events_.
  template <auto Channel>
  static void onMessage(WebKitUserContentManager*, JSCValue* value, gpointer self);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, char* uri, GError* error,
                               gpointer self);
  void saveStateSoon();
  void trimSoon();

  GtkUi& ui_;
  GPtr<GtkWindow> window_;
  GtkOverlay* overlay_;
  WebKitNetworkSession* session_;
  MainViewEvents events_;
  std::optional<webkit::WebKitView> web_;
  std::vector<SignalConnection> signals_;
  std::shared_ptr<void> downloads_;
  SourceId saveTimer_;
  SourceId trimTimer_;
  bool trimmed_ = false;  // after the first page the view finished loading
  std::string activationToken_;
  std::optional<GtkPageKeys> pageKeys_;
};

}  // namespace qm::gtk

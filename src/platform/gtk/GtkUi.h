#pragma once
// The main window (GtkApplicationWindow with the main WebKitWebView under a GtkOverlay), the
// menu bar, modal alerts and the About dialog.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ui.h"
#include "platform/glib/Handle.h"

namespace qm::gtk {

class GtkUi;

// The network session every web view shares, and the main window's web view, which can be made
// as soon as GTK is up: its web processes then start while the app registers on the bus and
// builds its window, not after.
class WebStart {
 public:
  WebStart() = default;
  WebStart(const WebStart&) = delete;
  WebStart& operator=(const WebStart&) = delete;

  // Data and cache in the app's own folders, cookies kept on disk so a sign-in survives a
  // restart. Made on first use.
  WebKitNetworkSession* session();
  // Makes the main view and starts loading `html` in it; once, before the window is built.
  void prepare(const std::string& html);

  struct View {
    GPtr<WebKitWebView> view;
    std::string loading;  // the page it was prepared with, if any
  };
  // The prepared view, else a new one.
  View takeView();

 private:
  GPtr<WebKitNetworkSession> session_;
  View prepared_;
};

class GtkWebView : public WebView {
 public:
  // `loading`: the page the view is already loading, which loadHtml then does not start again.
  explicit GtkWebView(WebKitWebView* view, std::string loading = {});
  GtkWebView(const GtkWebView&) = delete;
  GtkWebView& operator=(const GtkWebView&) = delete;
  void loadHtml(const std::string& html) override;
  void loadUrl(const std::string& url) override;
  void reload() override;
  void reloadFromOrigin() override;
  std::optional<std::string> uri() const override;
  WebKitWebView* widget() const { return view_; }

 private:
  static gboolean onTimeout(gpointer self);
  static gboolean onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, char* uri, GError* error,
                               gpointer self);

  WebKitWebView* view_;  // owned by its parent widget
  // The time-out of a loadUrl that has had no answer yet.
  SourceId timeout_;
  bool timedOut_ = false;
  std::vector<SignalConnection> signals_;
  std::string html_;  // the page last loaded from a string
  bool loadingHtml_;  // html_ is being loaded since the view was made
};

class GtkMainWindow : public MainWindow {
 public:
  GtkMainWindow(GtkUi& ui, WebStart& web, MainViewEvents events);
  ~GtkMainWindow() override;
  GtkMainWindow(const GtkMainWindow&) = delete;
  GtkMainWindow& operator=(const GtkMainWindow&) = delete;

  WebView& web() override { return *web_; }
  CookieStore& cookies() override { return *cookies_; }
  void present() override;
  void minimize() override;
  std::unique_ptr<IntroView> createIntroView(const std::string& htmlPath,
                                             IntroEvents& events) override;

  GtkWindow* window() const { return window_.get(); }
  WebKitWebView* webView() const { return web_->widget(); }
  // Size and maximized state, kept under "QuillmarshQuarnMain".
  void saveState();
  static std::string statePath();

 private:
  static void onServerMessage(WebKitUserContentManager*, JSCValue* value, gpointer self);
  void saveStateSoon();
  void trimSoon();

  GtkUi& ui_;
  GPtr<GtkWindow> window_;
  GtkOverlay* overlay_;
  WebKitNetworkSession* session_;
  MainViewEvents events_;
  std::optional<GtkWebView> web_;
  std::unique_ptr<CookieStore> cookies_;
  std::vector<SignalConnection> signals_;
  std::shared_ptr<void> downloads_;
  SourceId saveTimer_;
  SourceId trimTimer_;
  bool trimmed_ = false;  // after the first page the view finished loading
};

class GtkUi : public Ui {
 public:
  GtkUi(GtkApplication* app, WebStart& web);
  ~GtkUi() override;
  GtkUi(const GtkUi&) = delete;
  GtkUi& operator=(const GtkUi&) = delete;

  std::unique_ptr<MainWindow> createMainWindow(MainViewEvents events) override;
  void installMenu(const std::vector<Menu>& menus,
                   std::function<void(const std::string&)> onAction) override;
  void setMenuItemState(const std::string& action, bool on) override;
  void alert(const AlertSpec& spec, std::function<void(int)> done) override;
  void showAbout(const std::string& name, const std::string& credits) override;
  void quit() override;

  GtkMainWindow* mainWindow() const { return main_; }
  GtkApplication* application() const { return app_; }
  // The menu's key shortcuts, for the main window's shortcut controller.
  GListStore* shortcuts() const { return shortcuts_.get(); }
  void windowGone(GtkMainWindow* window);

 private:
  struct Action;
  void runBuiltIn(const std::string& action);
  void removeMenu();

  GtkApplication* app_;
  WebStart& web_;
  GPtr<GtkCssProvider> css_;
  GPtr<GListStore> shortcuts_;
  GtkMainWindow* main_ = nullptr;  // owned by whoever created it
  std::function<void(const std::string&)> onAction_;
  std::vector<std::unique_ptr<Action>> actions_;
};

}  // namespace qm::gtk

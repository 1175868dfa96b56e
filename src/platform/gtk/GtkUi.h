#pragma once
// The main window (GtkApplicationWindow with the main WebKitWebView under a GtkOverlay), the
// menu bar, modal alerts and the About dialog.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <map>
#include <memory>
#include <string>

#include "platform/Ui.h"
#include "platform/soup/GObjectPtr.h"

namespace qm::gtk {

class GtkWebView : public WebView {
 public:
  explicit GtkWebView(WebKitWebView* view) : view_(view) {}
  void loadHtml(const std::string& html) override;
  void loadUrl(const std::string& url) override;
  void reload() override;
  void reloadFromOrigin() override;
  std::optional<std::string> uri() const override;
  void evaluate(const std::string& script) override;
  WebKitWebView* widget() const { return view_; }

 private:
  WebKitWebView* view_;  // owned by its parent widget
};

class GtkMainWindow : public MainWindow {
 public:
  GtkMainWindow(GtkApplication* app, WebKitNetworkSession* session, WebEvents& events);
  ~GtkMainWindow() override;
  WebView& web() override { return web_; }
  CookieStore& cookies() override { return *cookies_; }
  void present() override;
  void minimize() override;
  std::unique_ptr<IntroView> createIntroView(const std::string& htmlPath,
                                             WebEvents& events) override;

  GtkWindow* window() const { return window_; }
  WebKitWebView* webView() const { return web_.widget(); }
  // Size and maximized state, kept under "QuillmarshQuarnMain".
  void saveState() const;
  static std::string statePath();

 private:
  GtkWindow* window_;
  GtkOverlay* overlay_;
  WebKitNetworkSession* session_;
  WebEvents& events_;
  GtkWebView web_;
  std::unique_ptr<CookieStore> cookies_;
};

class GtkUi : public Ui {
 public:
  GtkUi(GtkApplication* app, WebKitNetworkSession* session);
  std::unique_ptr<MainWindow> createMainWindow(WebEvents& events) override;
  void installMenu(const std::vector<Menu>& menus,
                   std::function<void(const std::string&)> onAction) override;
  void setMenuItemState(const std::string& action, bool on) override;
  void alert(const AlertSpec& spec, std::function<void(int)> done) override;
  void showAbout(const std::string& name, const std::string& credits) override;
  void quit() override;

  GtkMainWindow* mainWindow() const { return main_; }
  GtkApplication* application() const { return app_; }

 private:
  void runBuiltIn(const std::string& action);
  GtkApplication* app_;
  WebKitNetworkSession* session_;
  GtkMainWindow* main_ = nullptr;  // owned by the AppDelegate
  std::function<void(const std::string&)> onAction_;
};

}  // namespace qm::gtk

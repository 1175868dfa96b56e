#include "platform/gtk/GtkUi.h"

#include <malloc.h>
#include "platform/glib/Guard.h"

#include <map>
#include <utility>

#include "app/Constants.h"
#include "app/Files.h"
#include "app/Paths.h"
#include "platform/gtk/Factories.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/WebKitCompat.h"

namespace qm::gtk {

namespace {

constexpr int kDefaultWidth = 1320, kDefaultHeight = 900;
constexpr int kMinWidth = 760, kMinHeight = 540;
constexpr const char* kStateGroup = "QuillmarshQuarnMain";
constexpr guint kLoadTimeoutSeconds = 60;

// The window is dark whatever the desktop's theme, its header bar and menu bar with it; menus
// and dialogs follow the desktop. Styled here rather than by asking GTK for the theme's dark
// variant, which would parse a second theme on the way to the first page.
constexpr const char* kCss =
    "window.quarn-main { background-color: rgb(22,22,22); }"
    "window.quarn-main headerbar, window.quarn-main menubar {"
    " background: rgb(22,22,22); color: rgb(230,230,230); box-shadow: none; }";

}  // namespace

// --- WebStart

WebKitNetworkSession* WebStart::session() {
  if (session_) return session_.get();
  std::string data = paths::xdgDataHome() + "/" + kAppId;
  std::string cache = paths::xdgCacheHome() + "/" + kAppId;
  files::makeDirs(data, 0700);
  files::makeDirs(cache, 0700);
  session_ =
      GPtr<WebKitNetworkSession>::adopt(webkit_network_session_new(data.c_str(), cache.c_str()));
  WebKitCookieManager* cookies = webkit_network_session_get_cookie_manager(session_.get());
  webkit_cookie_manager_set_persistent_storage(cookies, (data + "/cookies.sqlite").c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  return session_.get();
}

static GPtr<WebKitWebView> makeMainView(WebKitNetworkSession* session) {
  auto content = GPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
  registerScriptChannel(content.get(), "qmserver");
  auto* view = g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session,
                            "user-content-manager", content.get(), nullptr);
  return GPtr<WebKitWebView>::adopt(WEBKIT_WEB_VIEW(g_object_ref_sink(view)));
}

void WebStart::prepare(const std::string& html) {
  if (prepared_.view) return;
  prepared_ = {makeMainView(session()), html};
  webkit_web_view_load_html(prepared_.view.get(), html.c_str(), nullptr);
}

WebStart::View WebStart::takeView() {
  if (prepared_.view) return std::exchange(prepared_, {});
  return {makeMainView(session()), {}};
}

// --- GtkWebView

GtkWebView::GtkWebView(WebKitWebView* view, std::string loading)
    : view_(view), html_(std::move(loading)), loadingHtml_(!html_.empty()) {
  signals_.emplace_back(view,
                        g_signal_connect(view, "load-failed", G_CALLBACK(onLoadFailed), this));
  // An answer has come: the time-out is over.
  signals_.emplace_back(
      view, g_signal_connect_swapped(view, "load-changed",
                                     G_CALLBACK(+[](GtkWebView* self, WebKitLoadEvent event) {
                                       if (event == WEBKIT_LOAD_COMMITTED) self->timeout_.reset();
                                     }),
                                     this));
}

void GtkWebView::loadHtml(const std::string& html) {
  timeout_.reset();
  if (std::exchange(loadingHtml_, false) && html == html_) return;
  html_ = html;
  webkit_web_view_load_html(view_, html.c_str(), nullptr);
}
void GtkWebView::loadUrl(const std::string& url) {
  html_.clear();
  loadingHtml_ = false;
  // The UI request's time-out: a server that takes the connection and never answers does not
  // leave the window loading for ever.
  timedOut_ = false;
  timeout_ = SourceId(g_timeout_add_seconds(kLoadTimeoutSeconds, &GtkWebView::onTimeout, this));
  webkit_web_view_load_uri(view_, url.c_str());
}
void GtkWebView::reload() {
  timeout_.reset();
  loadingHtml_ = false;
  webkit_web_view_reload(view_);
}
void GtkWebView::reloadFromOrigin() {
  timeout_.reset();
  loadingHtml_ = false;
  // The engine reloads a page loaded from a string as an empty one: it is loaded again instead.
  if (!html_.empty() && g_strcmp0(webkit_web_view_get_uri(view_), "about:blank") == 0)
    return loadHtml(std::string(html_));
  webkit_web_view_reload_bypass_cache(view_);
}

gboolean GtkWebView::onTimeout(gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  self->timeout_.forget();
  self->timedOut_ = true;
  webkit_web_view_stop_loading(self->view_);
  return G_SOURCE_REMOVE;
}

// The stop is reported as a cancellation, for which the engine shows nothing; it is reported
// again as the time-out it is, so the engine shows its error page as for any failed load.
gboolean GtkWebView::onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, char* uri,
                                  GError* error, gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  if (!self->timedOut_ ||
      !g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
    return FALSE;
  self->timedOut_ = false;
  GErrorPtr timedOut(g_error_new_literal(G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "Socket I/O timed out"));
  gboolean handled = FALSE;
  g_signal_emit_by_name(view, "load-failed", event, uri, timedOut.get(), &handled);
  return TRUE;
}
std::optional<std::string> GtkWebView::uri() const {
  const char* u = webkit_web_view_get_uri(view_);
  if (!u) return std::nullopt;
  return std::string(u);
}

// --- GtkMainWindow

std::string GtkMainWindow::statePath() {
  return paths::xdgStateHome() + "/" + kAppId + "/window-state.ini";
}

void GtkMainWindow::onServerMessage(WebKitUserContentManager*, JSCValue* value, gpointer self) {
  auto* window = static_cast<GtkMainWindow*>(self);
  GCharPtr body(scriptMessageString(value));
  guarded([&] {
    if (window->events_.onServerMessage)
      window->events_.onServerMessage(body ? ScriptMessage(body.get()) : std::nullopt);
  });
}

GtkMainWindow::GtkMainWindow(GtkUi& ui, WebStart& web, MainViewEvents events)
    : ui_(ui),
      window_(GPtr<GtkWindow>::adopt(
          GTK_WINDOW(g_object_ref_sink(gtk_application_window_new(ui.application()))))),
      overlay_(GTK_OVERLAY(gtk_overlay_new())),
      session_(web.session()),
      events_(std::move(events)) {
  GtkWindow* window = window_.get();
  WebStart::View made = web.takeView();
  WebKitWebView* view = made.view.get();
  WebKitUserContentManager* ucm = webkit_web_view_get_user_content_manager(view);
  web_.emplace(view, std::move(made.loading));
  signals_.emplace_back(ucm, g_signal_connect(ucm, "script-message-received::qmserver",
                                              G_CALLBACK(onServerMessage), this));
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
  for (auto& c : connectWebContent(view, events_.content, true)) signals_.push_back(std::move(c));
  signals_.emplace_back(
      view, g_signal_connect_swapped(view, "load-changed",
                                     G_CALLBACK(+[](GtkMainWindow* self, WebKitLoadEvent event) {
                                       if (event == WEBKIT_LOAD_FINISHED && !self->trimmed_) {
                                         self->trimmed_ = true;
                                         self->trimSoon();
                                       }
                                     }),
                                     this));
  downloads_ = watchDownloads(session_, events_.downloads);
  cookies_ = makeCookieStore(session_);

  gtk_window_set_title(window, kAppName);
  // A header bar without a title: the title is the window's, but not drawn.
  GtkWidget* header = gtk_header_bar_new();
  gtk_header_bar_set_title_widget(GTK_HEADER_BAR(header), gtk_label_new(nullptr));
  gtk_window_set_titlebar(window, header);
  gtk_widget_add_css_class(GTK_WIDGET(window), "quarn-main");
  gtk_widget_set_size_request(GTK_WIDGET(window), kMinWidth, kMinHeight);

  int width = kDefaultWidth, height = kDefaultHeight;
  bool maximized = false;
  auto kf = readKeyFile(statePath());
  if (g_key_file_has_group(kf.get(), kStateGroup)) {
    GError* raw = nullptr;
    int w = g_key_file_get_integer(kf.get(), kStateGroup, "width", &raw);
    if (!raw && w >= kMinWidth && w <= 16384) width = w;
    g_clear_error(&raw);
    int h = g_key_file_get_integer(kf.get(), kStateGroup, "height", &raw);
    if (!raw && h >= kMinHeight && h <= 16384) height = h;
    g_clear_error(&raw);
    maximized = g_key_file_get_boolean(kf.get(), kStateGroup, "maximized", nullptr);
  }
  gtk_window_set_default_size(window, width, height);
  if (maximized) gtk_window_maximize(window);

  gtk_widget_set_hexpand(GTK_WIDGET(view), TRUE);
  gtk_widget_set_vexpand(GTK_WIDGET(view), TRUE);
  gtk_overlay_set_child(overlay_, GTK_WIDGET(view));
  gtk_window_set_child(window, GTK_WIDGET(overlay_));
  // Closing hides the window; the application keeps running and reopen brings it back.
  gtk_window_set_hide_on_close(window, TRUE);
  signals_.emplace_back(window, g_signal_connect_swapped(window, "close-request",
                                                         G_CALLBACK(+[](GtkMainWindow* self) {
                                                           guarded([&] { self->saveState(); });
                                                           return FALSE;
                                                         }),
                                                         this));
  // Kept as they change, so a crash, a kill or a logout does not lose them.
  for (const char* property :
       {"notify::default-width", "notify::default-height", "notify::maximized"})
    signals_.emplace_back(
        window, g_signal_connect_swapped(
                    window, property,
                    G_CALLBACK(+[](GtkMainWindow* self) { self->saveStateSoon(); }), this));
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window), TRUE);
  // The menu's shortcuts in the bubble phase: a key reaches them only when the web view, which
  // sees it first, passes it on unhandled.
  GtkEventController* keys = gtk_shortcut_controller_new_for_model(G_LIST_MODEL(ui.shortcuts()));
  gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_BUBBLE);
  gtk_widget_add_controller(GTK_WIDGET(window), keys);
}

GtkMainWindow::~GtkMainWindow() {
  ui_.windowGone(this);
  signals_.clear();
  saveTimer_.reset();
  downloads_.reset();
  gtk_window_destroy(window_.get());
}

void GtkMainWindow::saveState() {
  saveTimer_.reset();
  int w = 0, h = 0;
  gtk_window_get_default_size(window_.get(), &w, &h);
  bool maximized = gtk_window_is_maximized(window_.get());
  updateKeyFile(statePath(), [&](GKeyFile* kf) {
    if (w > 0 && h > 0) {
      g_key_file_set_integer(kf, kStateGroup, "width", w);
      g_key_file_set_integer(kf, kStateGroup, "height", h);
    }
    g_key_file_set_boolean(kf, kStateGroup, "maximized", maximized);
  });
}

void GtkMainWindow::saveStateSoon() {
  // A drag resizes many times a second: one write, a second after the last change.
  saveTimer_ = SourceId(g_timeout_add_seconds(
      1,
      +[](gpointer self) {
        auto* window = static_cast<GtkMainWindow*>(self);
        window->saveTimer_.forget();
        guarded([&] { window->saveState(); });
        return G_SOURCE_REMOVE;
      },
      this));
}

void GtkMainWindow::present() {
  gtk_window_present(window_.get());
}
void GtkMainWindow::minimize() {
  gtk_window_minimize(window_.get());
}

std::unique_ptr<IntroView> GtkMainWindow::createIntroView(const std::string& htmlPath,
                                                          IntroEvents& events) {
  return makeIntroView(overlay_, session_, htmlPath, events, events_.content,
                       [this] { trimSoon(); });
}

void GtkMainWindow::trimSoon() {
  // Building the window and the intro's view and page leave freed memory in this process's heap:
  // a little later it goes back to the system instead of staying with the app for its whole life.
  trimTimer_ = SourceId(g_timeout_add_seconds(
      2,
      +[](gpointer self) -> gboolean {
        static_cast<GtkMainWindow*>(self)->trimTimer_.forget();
        malloc_trim(0);
        return G_SOURCE_REMOVE;
      },
      this));
}

// --- GtkUi

// One menu action of ours in the application's action map.
struct GtkUi::Action {
  GtkUi* ui;
  std::string name;
  bool delegate;
  SignalConnection activate;
};

GtkUi::GtkUi(GtkApplication* app, WebStart& web)
    : app_(app),
      web_(web),
      css_(GPtr<GtkCssProvider>::adopt(gtk_css_provider_new())),
      shortcuts_(GPtr<GListStore>::adopt(g_list_store_new(GTK_TYPE_SHORTCUT))) {
  gtk_css_provider_load_from_data(css_.get(), kCss, -1);
  // For window managers that take the icon from the window rather than the desktop file.
  gtk_window_set_default_icon_name(kAppId);
  gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                             GTK_STYLE_PROVIDER(css_.get()),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

GtkUi::~GtkUi() {
  removeMenu();
  gtk_style_context_remove_provider_for_display(gdk_display_get_default(),
                                                GTK_STYLE_PROVIDER(css_.get()));
}

std::unique_ptr<MainWindow> GtkUi::createMainWindow(MainViewEvents events) {
  auto w = std::make_unique<GtkMainWindow>(*this, web_, std::move(events));
  main_ = w.get();
  return w;
}

void GtkUi::windowGone(GtkMainWindow* window) {
  if (main_ == window) main_ = nullptr;
}

void GtkUi::runBuiltIn(const std::string& action) {
  if (!main_) return;
  WebKitWebView* view = main_->webView();
  static const std::map<std::string, const char*> editing = {
      {"undo", WEBKIT_EDITING_COMMAND_UNDO},   {"redo", WEBKIT_EDITING_COMMAND_REDO},
      {"cut", WEBKIT_EDITING_COMMAND_CUT},     {"copy", WEBKIT_EDITING_COMMAND_COPY},
      {"paste", WEBKIT_EDITING_COMMAND_PASTE}, {"selectAll", WEBKIT_EDITING_COMMAND_SELECT_ALL},
  };
  if (auto it = editing.find(action); it != editing.end()) {
    webkit_web_view_execute_editing_command(view, it->second);
  } else if (action == "hide" || action == "minimize") {
    main_->minimize();
  } else if (action == "close") {
    gtk_window_close(main_->window());
  } else if (action == "terminate") {
    quit();
  }
}

void GtkUi::removeMenu() {
  for (auto& a : actions_) {
    a->activate.reset();
    g_action_map_remove_action(G_ACTION_MAP(app_), a->name.c_str());
  }
  actions_.clear();
  g_list_store_remove_all(shortcuts_.get());
  onAction_ = nullptr;
  gtk_application_set_menubar(app_, nullptr);
}

void GtkUi::installMenu(const std::vector<Menu>& menus,
                        std::function<void(const std::string&)> onAction) {
  removeMenu();
  if (menus.empty()) return;
  onAction_ = std::move(onAction);
  auto bar = GPtr<GMenu>::adopt(g_menu_new());
  for (const Menu& menu : menus) {
    auto sub = GPtr<GMenu>::adopt(g_menu_new());
    auto section = GPtr<GMenu>::adopt(g_menu_new());
    for (const MenuItem& item : menu.items) {
      if (item.separator()) {
        g_menu_append_section(sub.get(), nullptr, G_MENU_MODEL(section.get()));
        section = GPtr<GMenu>::adopt(g_menu_new());
        continue;
      }
      std::string detailed = "app." + item.action;
      auto entry = GPtr<GMenuItem>::adopt(g_menu_item_new(item.title.c_str(), detailed.c_str()));
      auto action = GPtr<GSimpleAction>::adopt(
          item.state ? g_simple_action_new_stateful(item.action.c_str(), nullptr,
                                                    g_variant_new_boolean(*item.state))
                     : g_simple_action_new(item.action.c_str(), nullptr));
      auto* a = actions_.emplace_back(new Action{this, item.action, item.delegate, {}}).get();
      a->activate = SignalConnection(
          action.get(), g_signal_connect(action.get(), "activate",
                                         G_CALLBACK(+[](GSimpleAction*, GVariant*, Action* d) {
                                           guarded([&] {
                                             if (!d->delegate)
                                               d->ui->runBuiltIn(d->name);
                                             else if (d->ui->onAction_)
                                               d->ui->onAction_(d->name);
                                           });
                                         }),
                                         a));
      g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(action.get()));
      // Not application accelerators, which GTK runs before the focused web view sees the key:
      // the window's shortcuts act only on keys the page leaves unhandled.
      if (!item.accel.empty()) {
        std::string shown = item.accel.substr(0, item.accel.find('|'));
        g_menu_item_set_attribute(entry.get(), "accel", "s", shown.c_str());
        g_list_store_append(
            shortcuts_.get(),
            GPtr<GtkShortcut>::adopt(
                gtk_shortcut_new(gtk_shortcut_trigger_parse_string(item.accel.c_str()),
                                 gtk_named_action_new(detailed.c_str())))
                .get());
      }
      g_menu_append_item(section.get(), entry.get());
    }
    g_menu_append_section(sub.get(), nullptr, G_MENU_MODEL(section.get()));
    // The application menu has no title of its own: it carries the application's name.
    std::string title = menu.title.empty() ? kAppName : menu.title;
    g_menu_append_submenu(bar.get(), title.c_str(), G_MENU_MODEL(sub.get()));
  }
  gtk_application_set_menubar(app_, G_MENU_MODEL(bar.get()));
}

void GtkUi::setMenuItemState(const std::string& action, bool on) {
  GAction* a = g_action_map_lookup_action(G_ACTION_MAP(app_), action.c_str());
  if (a && G_IS_SIMPLE_ACTION(a) && g_action_get_state_type(a))
    g_simple_action_set_state(G_SIMPLE_ACTION(a), g_variant_new_boolean(on));
}

void GtkUi::alert(const AlertSpec& spec, std::function<void(int)> done) {
  std::vector<std::string> buttons = spec.buttons;
  if (buttons.empty()) buttons.push_back("OK");
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkWidget* dialog = gtk_message_dialog_new(
      main_ ? main_->window() : nullptr,
      static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", spec.message.c_str());
  if (!spec.informative.empty())
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             spec.informative.c_str());
  for (std::size_t i = 0; i < buttons.size(); ++i)
    gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].c_str(), static_cast<int>(i));
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
  G_GNUC_END_IGNORE_DEPRECATIONS
  struct Pending {
    std::function<void(int)> done;
    int count;
  };
  auto* pending = new Pending{std::move(done), static_cast<int>(buttons.size())};
  g_signal_connect_data(
      dialog, "response", G_CALLBACK(+[](GtkWidget* d, int response, Pending* p) {
        int code = kAlertFirstButton + (response >= 0 && response < p->count ? response : p->count);
        auto cb = std::move(p->done);
        p->done = nullptr;
        gtk_window_destroy(GTK_WINDOW(d));
        if (cb) guarded([&] { cb(code); });
      }),
      pending, [](gpointer p, GClosure*) { delete static_cast<Pending*>(p); },
      static_cast<GConnectFlags>(0));
  gtk_window_present(GTK_WINDOW(dialog));
}

void GtkUi::showAbout(const std::string& name, const std::string& credits) {
  GtkWidget* about = gtk_about_dialog_new();
  GtkAboutDialog* a = GTK_ABOUT_DIALOG(about);
  gtk_about_dialog_set_program_name(a, name.c_str());
  gtk_about_dialog_set_version(a, QUARN_VERSION);
  gtk_about_dialog_set_comments(a, credits.c_str());
  gtk_about_dialog_set_logo_icon_name(a, kAppId);
  gtk_about_dialog_set_license_type(a, GTK_LICENSE_MIT_X11);
  if (main_) gtk_window_set_transient_for(GTK_WINDOW(about), main_->window());
  gtk_window_set_hide_on_close(GTK_WINDOW(about), FALSE);
  gtk_window_present(GTK_WINDOW(about));
}

void GtkUi::quit() {
  if (main_) main_->saveState();
  g_application_quit(G_APPLICATION(app_));
}

}  // namespace qm::gtk

#include "adapters/gtk/GtkUi.h"

#include <map>
#include <utility>

#include "core/Constants.h"
#include "core/Guard.h"

namespace qm::gtk {

namespace {

// The window is dark whatever the desktop's theme, its header bar and menu bar with it; menus
// and dialogs follow the desktop. Styled here rather than by asking GTK for the theme's dark
// variant, which would parse a second theme on the way to the first page.
constexpr const char* kCss =
    "window.quarn-main { background-color: rgb(22,22,22); }"
    "window.quarn-main headerbar, window.quarn-main menubar {"
    " background: rgb(22,22,22); color: rgb(230,230,230); box-shadow: none; }";

}  // namespace

// One menu action of ours in the application's action map.
struct GtkUi::Action {
  GtkUi* ui;
  std::string name;
  bool delegate;
  SignalConnection activate;
};

GtkUi::GtkUi(GtkApplication* app, webkit::WebKitSession& web)
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
  // The menu's keys in every window of the app: the main window, the About dialog and alerts
  // (each added to the application), and whatever window is added later. They are not
  // application accelerators, which GTK runs before the focused widget sees the key: here a key
  // reaches them only when the focused widget (in the main window, the web view) passes it on
  // unhandled. Other shortcuts of a window belong in a controller of its own.
  windowAdded_ = SignalConnection(
      app_, g_signal_connect(app_, "window-added",
                             G_CALLBACK(+[](GtkApplication*, GtkWindow* window, GtkUi* self) {
                               GtkEventController* keys = gtk_shortcut_controller_new_for_model(
                                   G_LIST_MODEL(self->shortcuts_.get()));
                               gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_BUBBLE);
                               gtk_widget_add_controller(GTK_WIDGET(window), keys);
                             }),
                             this));
}

GtkUi::~GtkUi() {
  while (!alerts_.empty()) closeAlert(alerts_.begin()->first);
  windowAdded_.reset();
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

GtkWindow* GtkUi::frontWindow() const {
  // The application keeps its windows in the order they last had the focus.
  if (GtkWindow* w = gtk_application_get_active_window(app_)) return w;
  return main_ ? main_->window() : nullptr;
}

void GtkUi::runBuiltIn(const std::string& action) {
  if (action == "terminate") return quit();
  // Hiding is the whole app's; the rest go to the window in front and its focused view.
  if (action == "hide") {
    if (main_) main_->minimize();
    return;
  }
  GtkWindow* front = frontWindow();
  if (!front) return;
  if (action == "minimize") return gtk_window_minimize(front);
  if (action == "close") return gtk_window_close(front);
  struct Edit {
    const char* web;     // the engine's command
    const char* widget;  // the action of GTK's text and label widgets
  };
  static const std::map<std::string, Edit> editing = {
      {"undo", {WEBKIT_EDITING_COMMAND_UNDO, "text.undo"}},
      {"redo", {WEBKIT_EDITING_COMMAND_REDO, "text.redo"}},
      {"cut", {WEBKIT_EDITING_COMMAND_CUT, "clipboard.cut"}},
      {"copy", {WEBKIT_EDITING_COMMAND_COPY, "clipboard.copy"}},
      {"paste", {WEBKIT_EDITING_COMMAND_PASTE, "clipboard.paste"}},
      {"selectAll", {WEBKIT_EDITING_COMMAND_SELECT_ALL, "selection.select-all"}},
  };
  auto it = editing.find(action);
  if (it == editing.end()) return;
  GtkWidget* focus = gtk_window_get_focus(front);
  WebKitWebView* view = nullptr;
  for (GtkWidget* w = focus; w && !view; w = gtk_widget_get_parent(w))
    if (WEBKIT_IS_WEB_VIEW(w)) view = WEBKIT_WEB_VIEW(w);
  // In the main window the page is the one to edit whatever else holds the focus (the menu bar
  // just used, or nothing).
  if (!view && main_ && front == main_->window()) view = main_->webView();
  if (view)
    webkit_web_view_execute_editing_command(view, it->second.web);
  else if (focus)
    gtk_widget_activate_action(focus, it->second.widget, nullptr);
}

void GtkUi::removeMenu() {
  for (auto& a : actions_) {
    a->activate.reset();
    g_action_map_remove_action(G_ACTION_MAP(app_), a->name.c_str());
  }
  actions_.clear();
  g_list_store_remove_all(shortcuts_.get());
  menuKeys_.clear();
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
    // The application menu has no title of its own: it carries the application's name. Its
    // first letter is the mnemonic (Alt+Q, E, V, W), which shows only while Alt is held.
    std::string title = menu.title.empty() ? kAppName : menu.title, label = "_";
    for (char c : title) label += c == '_' ? "__" : std::string(1, c);
    for (const MenuItem& item : menu.items)
      if (!item.accel.empty()) menuKeys_.push_back({title, item.title, item.accel});
    g_menu_append_submenu(bar.get(), label.c_str(), G_MENU_MODEL(sub.get()));
  }
  gtk_application_set_menubar(app_, G_MENU_MODEL(bar.get()));
}

void GtkUi::setMenuItemState(const std::string& action, bool on) {
  GAction* a = g_action_map_lookup_action(G_ACTION_MAP(app_), action.c_str());
  if (a && G_IS_SIMPLE_ACTION(a) && g_action_get_state_type(a))
    g_simple_action_set_state(G_SIMPLE_ACTION(a), g_variant_new_boolean(on));
}

struct GtkUi::Pending {
  GtkUi* ui;
  AlertId id;
  std::function<void(int)> done;
  int count;
};

AlertId GtkUi::alert(const AlertSpec& spec, std::function<void(int)> done) {
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
  gtk_window_set_application(GTK_WINDOW(dialog), app_);
  AlertId id = nextAlert_++;
  alerts_[id] = GTK_WINDOW(dialog);
  auto* pending = new Pending{this, id, std::move(done), static_cast<int>(buttons.size())};
  g_signal_connect_data(
      dialog, "response", G_CALLBACK(+[](GtkWidget* d, int response, Pending* p) {
        int code = kAlertFirstButton + (response >= 0 && response < p->count ? response : p->count);
        auto cb = std::move(p->done);
        p->done = nullptr;
        p->ui->alerts_.erase(p->id);
        gtk_window_destroy(GTK_WINDOW(d));
        if (cb) guarded([&] { cb(code); });
      }),
      pending, [](gpointer p, GClosure*) { delete static_cast<Pending*>(p); },
      static_cast<GConnectFlags>(0));
  gtk_window_present(GTK_WINDOW(dialog));
  return id;
}

void GtkUi::closeAlert(AlertId id) {
  auto it = alerts_.find(id);
  if (it == alerts_.end()) return;
  GtkWindow* dialog = it->second;
  alerts_.erase(it);
  // Destroying it answers nothing: its handler goes with it, unrun.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  g_signal_handlers_disconnect_matched(dialog, G_SIGNAL_MATCH_ID,
                                       g_signal_lookup("response", GTK_TYPE_DIALOG), 0, nullptr,
                                       nullptr, nullptr);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_window_destroy(dialog);
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
  gtk_window_set_application(GTK_WINDOW(about), app_);
  gtk_window_present(GTK_WINDOW(about));
}

bool GtkUi::appInFront() {
  // The window that had the focus last is the one that may have it now. A window hidden or
  // minimized may still say it is active.
  GtkWindow* front = frontWindow();
  if (!front || !gtk_widget_get_visible(GTK_WIDGET(front)) || !gtk_window_is_active(front))
    return false;
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(front));
  return surface && GDK_IS_TOPLEVEL(surface) &&
         !(gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED);
}

void GtkUi::quit() {
  if (main_) main_->saveState();
  g_application_quit(G_APPLICATION(app_));
}

}  // namespace qm::gtk

#include "adapters/gtk/GtkMenuBar.h"

#include "core/Constants.h"
#include "core/Guard.h"

namespace qm::gtk {

// One menu action of ours in the application's action map.
struct GtkMenuBar::Action {
  GtkMenuBar* bar;
  Command command;
  SignalConnection activate;
};

GtkMenuBar::GtkMenuBar(GtkWindows& windows, AppShell& shell)
    : windows_(windows),
      shell_(shell),
      app_(windows.application()),
      shortcuts_(GPtr<GListStore>::adopt(g_list_store_new(GTK_TYPE_SHORTCUT))) {
  // The menu's keys in every window of the app: the main window, the About dialog and alerts
  // (each added to the application), and whatever window is added later. They are not
  // application accelerators, which GTK runs before the focused widget sees the key: here a key
  // reaches them only when the focused widget (in the main window, the web view) passes it on
  // unhandled. Other shortcuts of a window belong in a controller of its own.
  windowAdded_ = SignalConnection(
      app_, g_signal_connect(app_, "window-added",
                             G_CALLBACK(+[](GtkApplication*, GtkWindow* window, GtkMenuBar* self) {
                               GtkEventController* keys = gtk_shortcut_controller_new_for_model(
                                   G_LIST_MODEL(self->shortcuts_.get()));
                               gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_BUBBLE);
                               gtk_widget_add_controller(GTK_WIDGET(window), keys);
                             }),
                             this));
}

GtkMenuBar::~GtkMenuBar() {
  windowAdded_.reset();
  removeMenu();
}

void GtkMenuBar::runBuiltIn(Command command) {
  if (command == Command::Terminate) return shell_.quit();
  // Hiding is the whole app's; the rest go to the window in front and its focused view.
  if (command == Command::Hide) {
    if (GtkMainWindow* main = windows_.mainWindow()) main->minimize();
    return;
  }
  GtkWindow* front = windows_.frontWindow();
  if (!front) return;
  if (command == Command::Minimize) return gtk_window_minimize(front);
  if (command == Command::Close) return gtk_window_close(front);
  runEditing(command, front);
}

void GtkMenuBar::runEditing(Command command, GtkWindow* front) {
  struct Edit {
    const char* web;     // the engine's command
    const char* widget;  // the action of GTK's text and label widgets
  };
  Edit edit;
  switch (command) {
    case Command::Undo:
      edit = {WEBKIT_EDITING_COMMAND_UNDO, "text.undo"};
      break;
    case Command::Redo:
      edit = {WEBKIT_EDITING_COMMAND_REDO, "text.redo"};
      break;
    case Command::Cut:
      edit = {WEBKIT_EDITING_COMMAND_CUT, "clipboard.cut"};
      break;
    case Command::Copy:
      edit = {WEBKIT_EDITING_COMMAND_COPY, "clipboard.copy"};
      break;
    case Command::Paste:
      edit = {WEBKIT_EDITING_COMMAND_PASTE, "clipboard.paste"};
      break;
    case Command::SelectAll:
      edit = {WEBKIT_EDITING_COMMAND_SELECT_ALL, "selection.select-all"};
      break;
    default:
      return;
  }
  GtkWidget* focus = gtk_window_get_focus(front);
  WebKitWebView* view = nullptr;
  for (GtkWidget* w = focus; w && !view; w = gtk_widget_get_parent(w))
    if (WEBKIT_IS_WEB_VIEW(w)) view = WEBKIT_WEB_VIEW(w);
  // In the main window the page is the one to edit whatever else holds the focus (the menu bar
  // just used, or nothing).
  GtkMainWindow* main = windows_.mainWindow();
  if (!view && main && front == main->window()) view = main->webView();
  if (view)
    webkit_web_view_execute_editing_command(view, edit.web);
  else if (focus)
    gtk_widget_activate_action(focus, edit.widget, nullptr);
}

void GtkMenuBar::removeMenu() {
  for (auto& a : actions_) {
    a->activate.reset();
    g_action_map_remove_action(G_ACTION_MAP(app_), commandName(a->command));
  }
  actions_.clear();
  g_list_store_remove_all(shortcuts_.get());
  menuKeys_.clear();
  onCommand_ = nullptr;
  gtk_application_set_menubar(app_, nullptr);
}

void GtkMenuBar::installMenu(const std::vector<Menu>& menus,
                             std::function<void(Command)> onCommand) {
  removeMenu();
  if (menus.empty()) return;
  onCommand_ = std::move(onCommand);
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
      const char* name = commandName(item.command);
      std::string detailed = std::string("app.") + name;
      auto entry = GPtr<GMenuItem>::adopt(g_menu_item_new(item.title.c_str(), detailed.c_str()));
      auto action = GPtr<GSimpleAction>::adopt(
          item.state
              ? g_simple_action_new_stateful(name, nullptr, g_variant_new_boolean(*item.state))
              : g_simple_action_new(name, nullptr));
      auto* a = actions_.emplace_back(new Action{this, item.command, {}}).get();
      a->activate = SignalConnection(
          action.get(), g_signal_connect(action.get(), "activate",
                                         G_CALLBACK(+[](GSimpleAction*, GVariant*, Action* d) {
                                           guarded([&] {
                                             if (!runByApp(d->command))
                                               d->bar->runBuiltIn(d->command);
                                             else if (d->bar->onCommand_)
                                               d->bar->onCommand_(d->command);
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

void GtkMenuBar::setMenuItemState(Command command, bool on) {
  GAction* a = g_action_map_lookup_action(G_ACTION_MAP(app_), commandName(command));
  if (a && G_IS_SIMPLE_ACTION(a) && g_action_get_state_type(a))
    g_simple_action_set_state(G_SIMPLE_ACTION(a), g_variant_new_boolean(on));
}

}  // namespace qm::gtk

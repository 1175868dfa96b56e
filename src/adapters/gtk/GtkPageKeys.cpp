#include "adapters/gtk/GtkPageKeys.h"

#include "core/Constants.h"
#include "core/Files.h"
#include "core/Guard.h"
#include "core/Paths.h"
#include "core/Url.h"

namespace qm::gtk {

struct GtkPageKeys::Command {
  const char* group;
  const char* title;
  const char* accel;
  bool (GtkPageKeys::*run)();
  // Taken before the page, as browsers do: the engine uses every arrow key to scroll.
  bool beforePage = false;
};

// A shortcut's way back to this object; owned here, so it lives as long as the controller.
struct GtkPageKeys::Binding {
  GtkPageKeys* self;
  bool (GtkPageKeys::*run)();
};

const std::vector<GtkPageKeys::Command>& GtkPageKeys::commands() {
  static const std::vector<Command> all = {
      {"Zoom", "Zoom In", "<Control>plus|<Control>equal|<Control>KP_Add", &GtkPageKeys::zoomIn},
      {"Zoom", "Zoom Out", "<Control>minus|<Control>KP_Subtract", &GtkPageKeys::zoomOut},
      {"Zoom", "Actual Size", "<Control>0|<Control>KP_0", &GtkPageKeys::zoomReset},
      {"Find", "Find in Page", "<Control>f", &GtkPageKeys::openFind},
      {"Find", "Next Match", "F3|<Control>g", &GtkPageKeys::findNext},
      {"Find", "Previous Match", "<Shift>F3|<Control><Shift>g", &GtkPageKeys::findPrevious},
      {"Navigation", "Back", "<Alt>Left|Back", &GtkPageKeys::back, true},
      {"Navigation", "Forward", "<Alt>Right|Forward", &GtkPageKeys::forward, true},
      {"Page", "Print", "<Control>p", &GtkPageKeys::print},
      {"Page", "Fullscreen", "F11", &GtkPageKeys::toggleFullscreen},
      {"Page", "Keyboard Shortcuts", "<Control>question|<Control>F1", &GtkPageKeys::showShortcuts},
  };
  return all;
}

std::vector<KeyHelp> GtkPageKeys::help() {
  std::vector<KeyHelp> out;
  for (const Command& c : commands()) out.push_back({c.group, c.title, c.accel});
  return out;
}

std::string GtkPageKeys::zoomPath() {
  return paths::xdgStateHome() + "/" + kAppId + "/zoom-levels";
}

namespace {

void label(GtkWidget* widget, const char* text) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL, text, -1);
}

GtkWidget* iconButton(const char* icon, const char* text) {
  GtkWidget* button = gtk_button_new_from_icon_name(icon);
  gtk_widget_set_tooltip_text(button, text);
  label(button, text);
  return button;
}

std::string markup(const std::string& text) {
  return GCharPtr(g_markup_escape_text(text.c_str(), -1)).get();
}

// GtkShortcutsWindow is made from a builder description only, on GTK before 4.14.
std::string shortcutsUi(const std::vector<KeyHelp>& keys) {
  std::string ui =
      "<interface><object class='GtkShortcutsWindow' id='window'><property "
      "name='title'>Keyboard Shortcuts</property><property name='modal'>1</property><child>"
      "<object class='GtkShortcutsSection'><property name='section-name'>shortcuts</property>"
      "<property name='max-height'>14</property>";
  for (std::size_t i = 0; i < keys.size();) {
    ui += "<child><object class='GtkShortcutsGroup'><property name='title'>" +
          markup(keys[i].group) + "</property>";
    for (const std::string& group = keys[i].group; i < keys.size() && keys[i].group == group; ++i) {
      std::string accel = keys[i].accel;
      for (char& c : accel)
        if (c == '|') c = ' ';
      ui += "<child><object class='GtkShortcutsShortcut'><property name='title'>" +
            markup(keys[i].title) + "</property><property name='accelerator'>" + markup(accel) +
            "</property></object></child>";
    }
    ui += "</object></child>";
  }
  return ui + "</object></child></object></interface>";
}

}  // namespace

GtkPageKeys::GtkPageKeys(GtkWindow* window, GtkOverlay* overlay, WebKitWebView* view,
                         std::function<std::vector<KeyHelp>()> menuKeys)
    : window_(window),
      view_(view),
      find_(webkit_web_view_get_find_controller(view)),
      menuKeys_(std::move(menuKeys)) {
  // Bubble phase: the page sees each key first, and keeps those it handles.
  GtkEventController* keys = gtk_shortcut_controller_new();
  gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_BUBBLE);
  GtkEventController* early = gtk_shortcut_controller_new();
  gtk_event_controller_set_propagation_phase(early, GTK_PHASE_CAPTURE);
  for (const Command& c : commands()) {
    auto* b = bindings_.emplace_back(new Binding{this, c.run}).get();
    GtkShortcutAction* action = gtk_callback_action_new(
        +[](GtkWidget*, GVariant*, gpointer data) -> gboolean {
          auto* binding = static_cast<Binding*>(data);
          gboolean done = FALSE;
          guarded([&] { done = (binding->self->*binding->run)(); });
          return done;
        },
        b, nullptr);
    gtk_shortcut_controller_add_shortcut(
        GTK_SHORTCUT_CONTROLLER(c.beforePage ? early : keys),
        gtk_shortcut_new(gtk_shortcut_trigger_parse_string(c.accel), action));
  }
  addController(GTK_WIDGET(window), keys);
  addController(GTK_WIDGET(window), early);

  // Ctrl+wheel zooms. The engine takes every wheel event, so this one is caught on its way in.
  GtkEventController* wheel =
      gtk_event_controller_scroll_new(static_cast<GtkEventControllerScrollFlags>(
          GTK_EVENT_CONTROLLER_SCROLL_VERTICAL | GTK_EVENT_CONTROLLER_SCROLL_DISCRETE));
  gtk_event_controller_set_propagation_phase(wheel, GTK_PHASE_CAPTURE);
  g_signal_connect(wheel, "scroll",
                   G_CALLBACK(+[](GtkEventControllerScroll* c, double, double dy,
                                  GtkPageKeys* self) -> gboolean {
                     auto state =
                         gtk_event_controller_get_current_event_state(GTK_EVENT_CONTROLLER(c));
                     if (!(state & GDK_CONTROL_MASK) || dy == 0) return FALSE;
                     guarded([&] { self->zoom(dy < 0 ? 1 : -1); });
                     return TRUE;
                   }),
                   this);
  addController(GTK_WIDGET(view), wheel);

  // The mouse's back and forward buttons, which the engine never hands to the page.
  GtkGesture* click = gtk_gesture_click_new();
  gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(click), 0);
  gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(click), GTK_PHASE_CAPTURE);
  g_signal_connect(click, "pressed",
                   G_CALLBACK(+[](GtkGesture* g, int, double, double, GtkPageKeys* self) {
                     guint button = gtk_gesture_single_get_current_button(GTK_GESTURE_SINGLE(g));
                     if (button != 8 && button != 9) {
                       gtk_gesture_set_state(g, GTK_EVENT_SEQUENCE_DENIED);
                       return;
                     }
                     gtk_gesture_set_state(g, GTK_EVENT_SEQUENCE_CLAIMED);
                     guarded([&] { button == 8 ? self->back() : self->forward(); });
                   }),
                   this);
  addController(GTK_WIDGET(window), GTK_EVENT_CONTROLLER(click));

  // The find bar, over the top of the page.
  findBar_ = gtk_search_bar_new();
  findEntry_ = gtk_search_entry_new();
  findCount_ = gtk_label_new(nullptr);
  GtkWidget* previous = iconButton("go-up-symbolic", "Previous Match");
  GtkWidget* next = iconButton("go-down-symbolic", "Next Match");
  label(findBar_, "Find in Page");
  label(findEntry_, "Find in page");
  gtk_widget_set_size_request(findEntry_, 240, -1);
  gtk_widget_add_css_class(findCount_, "dim-label");
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  for (GtkWidget* w : {findEntry_, findCount_, previous, next}) gtk_box_append(GTK_BOX(box), w);
  gtk_search_bar_set_child(GTK_SEARCH_BAR(findBar_), box);
  gtk_search_bar_connect_entry(GTK_SEARCH_BAR(findBar_), GTK_EDITABLE(findEntry_));
  gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(findBar_), TRUE);
  // Shown at once: keys typed while it would still slide in are otherwise lost.
  if (GtkWidget* revealer = gtk_widget_get_first_child(findBar_); GTK_IS_REVEALER(revealer))
    gtk_revealer_set_transition_type(GTK_REVEALER(revealer), GTK_REVEALER_TRANSITION_TYPE_NONE);
  gtk_widget_set_valign(findBar_, GTK_ALIGN_START);
  gtk_widget_set_halign(findBar_, GTK_ALIGN_END);
  gtk_overlay_add_overlay(overlay, findBar_);

  auto on = [this](gpointer object, const char* signal, GCallback callback) {
    signals_.emplace_back(object, g_signal_connect_swapped(object, signal, callback, this));
  };
  on(findEntry_, "search-changed",
     G_CALLBACK(+[](GtkPageKeys* self) { guarded([&] { self->search(); }); }));
  on(findEntry_, "activate",
     G_CALLBACK(+[](GtkPageKeys* self) { guarded([&] { self->findNext(); }); }));
  on(findEntry_, "next-match",
     G_CALLBACK(+[](GtkPageKeys* self) { guarded([&] { self->findNext(); }); }));
  on(findEntry_, "previous-match",
     G_CALLBACK(+[](GtkPageKeys* self) { guarded([&] { self->findPrevious(); }); }));
  on(next, "clicked", G_CALLBACK(+[](GtkPageKeys* self) { guarded([&] { self->findNext(); }); }));
  on(previous, "clicked",
     G_CALLBACK(+[](GtkPageKeys* self) { guarded([&] { self->findPrevious(); }); }));
  on(findEntry_, "stop-search", G_CALLBACK(+[](GtkPageKeys* self) {
       gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(self->findBar_), FALSE);
     }));
  on(findBar_, "notify::search-mode-enabled", G_CALLBACK(+[](GtkPageKeys* self) {
       if (!gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(self->findBar_)))
         guarded([&] { self->findClosed(); });
     }));
  on(find_, "found-text", G_CALLBACK(+[](GtkPageKeys* self, guint count) {
       // Only a new search counts them all; going on to the next reports one.
       if (std::exchange(self->counting_, false)) self->matchCount_ = count;
       guarded([&] { self->showCount(); });
     }));
  on(find_, "failed-to-find-text", G_CALLBACK(+[](GtkPageKeys* self) {
       self->matchCount_ = 0;
       guarded([&] { self->showCount(); });
     }));
  // Shift+Enter goes back, as Shift does with the other keys.
  GtkEventController* entryKeys = gtk_event_controller_key_new();
  gtk_event_controller_set_propagation_phase(entryKeys, GTK_PHASE_CAPTURE);
  g_signal_connect(
      entryKeys, "key-pressed",
      G_CALLBACK(+[](GtkEventControllerKey*, guint key, guint, GdkModifierType state,
                     GtkPageKeys* self) -> gboolean {
        if ((key != GDK_KEY_Return && key != GDK_KEY_KP_Enter) || !(state & GDK_SHIFT_MASK))
          return FALSE;
        guarded([&] { self->findPrevious(); });
        return TRUE;
      }),
      this);
  gtk_widget_add_controller(findEntry_, entryKeys);

  // Zoom: the level of the page's server host, taken up as each page starts and commits.
  if (auto text = files::read(zoomPath())) {
    auto levels = page::parseZoomLevels(*text);
    if (levels) levels_ = std::move(*levels);
    zoomFileBroken_ = !levels;
  } else {
    zoomFileBroken_ = files::exists(zoomPath());
  }
  if (zoomFileBroken_)
    g_warning("%s cannot be read; left as it is, zoom levels are not saved", zoomPath().c_str());
  on(view, "load-changed", G_CALLBACK(+[](GtkPageKeys* self, WebKitLoadEvent event) {
       if (event == WEBKIT_LOAD_COMMITTED) guarded([&] { self->applyZoom(); });
     }));
  // The view's address changes as soon as the app asks for a page, before the engine has made
  // the process and the document that will show it: set then, the level holds from the page's
  // first layout and script on, where at commit it came too late for them.
  on(view, "notify::uri",
     G_CALLBACK(+[](GtkPageKeys* self) { guarded([&] { self->applyZoom(); }); }));
  applyZoom();
}

GtkPageKeys::~GtkPageKeys() {
  signals_.clear();
  if (shortcuts_) gtk_window_destroy(shortcuts_.get());
  // The controllers call back into this object: they go with it.
  for (auto [widget, controller] : controllers_) gtk_widget_remove_controller(widget, controller);
  if (GtkWidget* parent = gtk_widget_get_parent(findBar_))
    gtk_overlay_remove_overlay(GTK_OVERLAY(parent), findBar_);
}

void GtkPageKeys::applyZoom() {
  const char* uri = webkit_web_view_get_uri(view_);
  // The app's own pages have no host: they show at the level of the server shown last.
  if (auto host = urlHost(uri ? std::optional<std::string>(uri) : std::nullopt)) zoomHost_ = *host;
  auto it = levels_.find(zoomHost_);
  int level = it == levels_.end() ? page::kDefaultZoom : it->second;
  webkit_web_view_set_zoom_level(view_, level / 100.0);
}

bool GtkPageKeys::zoom(int steps) {
  auto it = levels_.find(zoomHost_);
  int now = it == levels_.end() ? page::kDefaultZoom : it->second;
  int level = steps ? page::stepZoom(now, steps) : page::kDefaultZoom;
  webkit_web_view_set_zoom_level(view_, level / 100.0);
  if (level == now) return true;
  levels_[zoomHost_] = level;
  if (!zoomFileBroken_ && !zoomHost_.empty()) {
    std::string path = zoomPath();
    // The zoom is kept for the next change, which writes the whole file again.
    if (!files::makeDirs(files::parent(path)) ||
        !files::writeAtomic(path, page::formatZoomLevels(levels_)))
      g_warning("%s cannot be written: %s", path.c_str(), g_strerror(errno));
  }
  return true;
}

void GtkPageKeys::addController(GtkWidget* widget, GtkEventController* controller) {
  gtk_widget_add_controller(widget, controller);
  controllers_.emplace_back(widget, controller);
}

bool GtkPageKeys::openFind() {
  gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(findBar_), TRUE);
  gtk_widget_grab_focus(findEntry_);
  gtk_editable_select_region(GTK_EDITABLE(findEntry_), 0, -1);
  return true;
}

bool GtkPageKeys::findStep(bool forward) {
  if (!gtk_search_bar_get_search_mode(GTK_SEARCH_BAR(findBar_))) {
    openFind();
    search();
    return true;
  }
  if (!searching_) return true;
  matchIndex_ = page::stepMatch(matchIndex_, matchCount_, forward);
  forward ? webkit_find_controller_search_next(find_)
          : webkit_find_controller_search_previous(find_);
  return true;
}

void GtkPageKeys::search() {
  const char* text = gtk_editable_get_text(GTK_EDITABLE(findEntry_));
  searching_ = text && *text;
  matchIndex_ = 1;
  matchCount_ = 0;
  counting_ = searching_;
  if (!searching_) {
    webkit_find_controller_search_finish(find_);
    showCount();
    return;
  }
  webkit_find_controller_search(
      find_, text, WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND,
      G_MAXUINT);
}

void GtkPageKeys::showCount() {
  std::string text = page::matchCountText(searching_, matchIndex_, matchCount_);
  gtk_label_set_text(GTK_LABEL(findCount_), text.c_str());
  gtk_accessible_update_property(GTK_ACCESSIBLE(findEntry_), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                 text.c_str(), -1);
}

void GtkPageKeys::findClosed() {
  searching_ = false;
  webkit_find_controller_search_finish(find_);
  showCount();
  gtk_widget_grab_focus(GTK_WIDGET(view_));
}

bool GtkPageKeys::print() {
  auto op = GPtr<WebKitPrintOperation>::adopt(webkit_print_operation_new(view_));
  webkit_print_operation_run_dialog(op.get(), window_);
  return true;
}

bool GtkPageKeys::back() {
  if (!webkit_web_view_can_go_back(view_)) return false;
  webkit_web_view_go_back(view_);
  return true;
}

bool GtkPageKeys::forward() {
  if (!webkit_web_view_can_go_forward(view_)) return false;
  webkit_web_view_go_forward(view_);
  return true;
}

bool GtkPageKeys::toggleFullscreen() {
  if (gtk_window_is_fullscreen(window_))
    gtk_window_unfullscreen(window_);
  else
    gtk_window_fullscreen(window_);
  return true;
}

bool GtkPageKeys::showShortcuts() {
  if (!shortcuts_) {
    std::vector<KeyHelp> keys = menuKeys_ ? menuKeys_() : std::vector<KeyHelp>{};
    for (KeyHelp& k : help()) keys.push_back(std::move(k));
    auto builder =
        GPtr<GtkBuilder>::adopt(gtk_builder_new_from_string(shortcutsUi(keys).c_str(), -1));
    shortcuts_ = GPtr<GtkWindow>::ref(GTK_WINDOW(gtk_builder_get_object(builder.get(), "window")));
    gtk_window_set_transient_for(shortcuts_.get(), window_);
    gtk_window_set_hide_on_close(shortcuts_.get(), TRUE);
  }
  gtk_window_present(shortcuts_.get());
  return true;
}

}  // namespace qm::gtk

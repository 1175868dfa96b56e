#include "adapters/gtk/GtkPageKeys.h"

#include "core/Guard.h"

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

GtkPageKeys::GtkPageKeys(GtkWindow* window, GtkOverlay* overlay, WebKitWebView* view,
                         std::function<std::vector<KeyHelp>()> menuKeys)
    : window_(window),
      view_(view),
      find_(overlay, view),
      shortcuts_(window,
                 [menuKeys = std::move(menuKeys)] {
                   std::vector<KeyHelp> keys = menuKeys ? menuKeys() : std::vector<KeyHelp>{};
                   for (KeyHelp& k : help()) keys.push_back(std::move(k));
                   return keys;
                 }),
      zoom_(view) {
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
}

GtkPageKeys::~GtkPageKeys() {
  // The controllers call back into this object: they go with it.
  for (auto [widget, controller] : controllers_) gtk_widget_remove_controller(widget, controller);
}

void GtkPageKeys::addController(GtkWidget* widget, GtkEventController* controller) {
  gtk_widget_add_controller(widget, controller);
  controllers_.emplace_back(widget, controller);
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

}  // namespace qm::gtk

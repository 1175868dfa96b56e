#include "adapters/gtk/GtkZoom.h"

#include <optional>
#include <string>

#include "core/Guard.h"
#include "core/Url.h"

namespace qm::gtk {

GtkZoom::GtkZoom(WebKitWebView* view) : view_(view), zoom_(page::zoomPath()) {
  // Ctrl+wheel zooms. The engine takes every wheel event, so this one is caught on its way in.
  wheel_ = gtk_event_controller_scroll_new(static_cast<GtkEventControllerScrollFlags>(
      GTK_EVENT_CONTROLLER_SCROLL_VERTICAL | GTK_EVENT_CONTROLLER_SCROLL_DISCRETE));
  gtk_event_controller_set_propagation_phase(wheel_, GTK_PHASE_CAPTURE);
  g_signal_connect(
      wheel_, "scroll",
      G_CALLBACK(+[](GtkEventControllerScroll* c, double, double dy, GtkZoom* self) -> gboolean {
        auto state = gtk_event_controller_get_current_event_state(GTK_EVENT_CONTROLLER(c));
        if (!(state & GDK_CONTROL_MASK) || dy == 0) return FALSE;
        guarded([&] { self->step(dy < 0 ? 1 : -1); });
        return TRUE;
      }),
      this);
  gtk_widget_add_controller(GTK_WIDGET(view), wheel_);

  auto on = [this](const char* signal, GCallback callback) {
    signals_.emplace_back(view_, g_signal_connect_swapped(view_, signal, callback, this));
  };
  on("load-changed", G_CALLBACK(+[](GtkZoom* self, WebKitLoadEvent event) {
       if (event == WEBKIT_LOAD_COMMITTED) guarded([&] { self->apply(); });
     }));
  // The view's address changes as soon as the app asks for a page, before the engine has made
  // the process and the document that will show it: set then, the level holds from the page's
  // first layout and script on, where at commit it came too late for them.
  on("notify::uri", G_CALLBACK(+[](GtkZoom* self) { guarded([&] { self->apply(); }); }));
  apply();
}

GtkZoom::~GtkZoom() {
  signals_.clear();
  // The controller calls back into this object: it goes with it.
  gtk_widget_remove_controller(GTK_WIDGET(view_), wheel_);
}

void GtkZoom::apply() {
  const char* uri = webkit_web_view_get_uri(view_);
  int level = zoom_.show(urlHost(uri ? std::optional<std::string>(uri) : std::nullopt));
  webkit_web_view_set_zoom_level(view_, level / 100.0);
}

void GtkZoom::step(int steps) {
  webkit_web_view_set_zoom_level(view_, zoom_.step(steps) / 100.0);
}

}  // namespace qm::gtk

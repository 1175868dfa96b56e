// The work area of the monitor a new window opens on. Apart from the rest, and the X11 header
// last, because it defines names (None, Status, Bool) that clash with other code.
#include <gtk/gtk.h>

#include "adapters/gtk/GtkWorkArea.h"
#include "core/Handle.h"
#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

namespace qm::gtk {

WindowSize firstWorkArea(GdkDisplay* display) {
  if (!display) return {};
  // The first monitor: where a window that nothing places appears.
  auto monitor = GPtr<GdkMonitor>::adopt(
      static_cast<GdkMonitor*>(g_list_model_get_item(gdk_display_get_monitors(display), 0)));
  if (!monitor) return {};
  GdkRectangle area{};
#ifdef GDK_WINDOWING_X11
  // Without panels or a window manager's hints this is the whole monitor.
  if (GDK_IS_X11_MONITOR(monitor.get())) {
    gdk_x11_monitor_get_workarea(monitor.get(), &area);
    return {area.width, area.height};
  }
#endif
  // Wayland tells no work area: the monitor, less what the compositor keeps, is the best known.
  gdk_monitor_get_geometry(monitor.get(), &area);
  return {area.width, area.height};
}

}  // namespace qm::gtk

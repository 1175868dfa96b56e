#include "adapters/gtk/GtkAppShell.h"

namespace qm::gtk {

bool GtkAppShell::appInFront() {
  // The window that had the focus last is the one that may have it now. A window hidden or
  // minimized may still say it is active.
  GtkWindow* front = windows_.frontWindow();
  if (!front || !gtk_widget_get_visible(GTK_WIDGET(front)) || !gtk_window_is_active(front))
    return false;
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(front));
  return surface && GDK_IS_TOPLEVEL(surface) &&
         !(gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED);
}

void GtkAppShell::quit() {
  if (GtkMainWindow* main = windows_.mainWindow()) main->saveState();
  g_application_quit(G_APPLICATION(windows_.application()));
}

}  // namespace qm::gtk

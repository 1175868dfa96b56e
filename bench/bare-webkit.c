/* The yardstick for the start-up benchmark: a plain WebKitGTK window that loads one URL at
 * once, with nothing else around it. */
#include <gtk/gtk.h>
#include <webkit/webkit.h>

static const char* url;

static void activate(GtkApplication* app, gpointer data) {
  (void)data;
  GtkWidget* window = gtk_application_window_new(app);
  gtk_window_set_default_size(GTK_WINDOW(window), 1320, 900);
  GtkWidget* view = webkit_web_view_new();
  gtk_window_set_child(GTK_WINDOW(window), view);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
  gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv) {
  url = argc > 1 ? argv[1] : "http://127.0.0.1:8795";
  GtkApplication* app = gtk_application_new(NULL, G_APPLICATION_NON_UNIQUE);
  g_signal_connect(app, "activate", G_CALLBACK(activate), NULL);
  char* args[] = {argv[0], NULL};
  int status = g_application_run(G_APPLICATION(app), 1, args);
  g_object_unref(app);
  return status;
}

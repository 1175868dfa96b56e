// The program: a GtkApplication, unique per user, held so closing the window does not quit.

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Constants.h"
#include "platform/gtk/Instance.h"

namespace {

struct App {
  std::vector<std::string> args;
  std::unique_ptr<qm::gtk::Instance> instance;
};

void onActivate(GtkApplication* gtkApp, App* app) {
  if (app->instance) {
    app->instance->delegate().applicationShouldHandleReopen();
    return;
  }
  std::string bundle = qm::gtk::FolderBundle::locate(app->args.front());
  app->instance = std::make_unique<qm::gtk::Instance>(gtkApp, app->args, bundle);
}

void onShutdown(GApplication*, App* app) {
  if (app->instance) app->instance->shutdown();
}

void usage() {
  std::printf(
      "Usage: quillmarsh-quarn [--qm-ensemble]\n\n"
      "The window onto your organisation's Quillmarsh suite server. It finds the server by\n"
      "itself (this computer, the remembered host, then the hosts built into the app), starts\n"
      "the server on this computer when it has to, and shares the suite sign-in with the\n"
      "suite's other apps.\n\n"
      "Options:\n"
      "  --qm-ensemble  started together with the suite's other apps: the first intro stays\n"
      "                 silent\n"
      "  --help         show this help and exit\n"
      "  --version      show the version and exit\n\n"
      "Environment:\n"
      "  QUARN_BUNDLE_DIR    folder holding Info.json and the intro resources\n"
      "  QUARN_SERVICE_TOOL  replaces the service manager's command-line tool\n");
}

}  // namespace

int main(int argc, char** argv) {
  App app;
  for (int i = 0; i < argc; ++i) app.args.emplace_back(argv[i]);
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      usage();
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("Quillmarsh Quarn %s\n", QUARN_VERSION);
      return 0;
    }
  }
  g_set_application_name(qm::kAppName);

  // Unique per user over the session bus; without a bus each start is its own instance.
  GApplicationFlags flags = G_APPLICATION_DEFAULT_FLAGS;
  if (!qm::GPtr<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)))
    flags = G_APPLICATION_NON_UNIQUE;
  auto owned = qm::GPtr<GtkApplication>::adopt(gtk_application_new(qm::kAppId, flags));
  GtkApplication* gtkApp = owned.get();
  g_signal_connect(gtkApp, "startup",
                   G_CALLBACK(+[](GApplication* a, gpointer) { g_application_hold(a); }), nullptr);
  g_signal_connect(gtkApp, "activate", G_CALLBACK(onActivate), &app);
  g_signal_connect(gtkApp, "shutdown", G_CALLBACK(onShutdown), &app);
  // Logout ends the app with SIGTERM: quit as the menu's Quit does, saving the window state.
  for (int sig : {SIGTERM, SIGINT})
    g_unix_signal_add(
        sig,
        +[](gpointer a) -> gboolean {
          g_application_quit(G_APPLICATION(a));
          return G_SOURCE_CONTINUE;
        },
        gtkApp);
  // Our own arguments are read from app.args; GApplication sees none of them.
  int status = g_application_run(G_APPLICATION(gtkApp), 1, argv);
  // Nothing is torn down: the app lives until the process ends, which is quicker than taking
  // the web engine apart on the way out.
  (void)app.instance.release();
  return status;
}

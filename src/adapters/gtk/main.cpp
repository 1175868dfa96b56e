// The program: a GtkApplication, unique per user, held so closing the window does not quit.

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "adapters/gtk/Instance.h"
#include "core/Constants.h"
#include "core/Log.h"

namespace {

// Whether another instance already holds the app's name on the session bus. One round trip on
// the connection that GApplication registers on afterwards.
bool anotherRunning(GDBusConnection* bus) {
  auto reply = qm::Owned<GVariant>(g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", qm::kAppId), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 1000,
      nullptr, nullptr));
  gboolean owned = FALSE;
  if (reply) g_variant_get(reply.get(), "(b)", &owned);
  // No answer: as if there were one, so no web engine is started only to be thrown away.
  return !reply || owned;
}

struct App {
  std::vector<std::string> args;
  std::unique_ptr<qm::gtk::Instance> instance;
};

// The probes go out before GTK and the web engine start, which take longer than a server on
// this computer takes to answer.
void start(App* app) {
  std::string bundle = qm::gtk::FolderBundle::locate(app->args.front());
  // Said once here; each look-up in a missing folder then quietly finds nothing.
  if (!g_file_test(bundle.c_str(), G_FILE_TEST_IS_DIR))
    g_log_structured(qm::kLogDomain, G_LOG_LEVEL_WARNING, "MESSAGE",
                     "No bundle folder at %s: built-in settings only, no intro "
                     "(QUARN_BUNDLE_DIR names another)",
                     bundle.c_str());
  app->instance = std::make_unique<qm::gtk::Instance>(app->args, bundle);
}

void onActivate(GtkApplication* gtkApp, App* app) {
  if (!app->instance) start(app);
  if (app->instance->launched()) {
    app->instance->delegate().applicationShouldHandleReopen();
    return;
  }
  app->instance->launch(gtkApp);
}

void onShutdown(GApplication*, App* app) {
  if (app->instance) app->instance->shutdown();
}

// Our options, parsed by GApplication: anything else is refused with a message.
const GOptionEntry kOptions[] = {
    {"version", 0, 0, G_OPTION_ARG_NONE, nullptr, "Show the version and exit", nullptr},
    {"verbose", 'v', 0, G_OPTION_ARG_NONE, nullptr,
     "Log the app's decisions to standard error or the journal", nullptr},
    {"qm-ensemble", 0, 0, G_OPTION_ARG_NONE, nullptr,
     "Started together with the suite's other apps: the first intro stays silent", nullptr},
    {"no-hardware-acceleration", 0, 0, G_OPTION_ARG_NONE, nullptr,
     "Draw pages in software, for a window that stays blank (also the setting "
     "hardwareAcceleration=false)",
     nullptr},
    {}};

int onLocalOptions(GApplication* gApp, GVariantDict* options, App* app) {
  if (g_variant_dict_contains(options, "version")) {
    std::printf("Quillmarsh Quarn %s\n", QUARN_VERSION);
    return 0;
  }
  if (g_variant_dict_contains(options, "verbose")) {
    const char* shown = g_getenv("G_MESSAGES_DEBUG");
    std::string domains =
        shown && *shown ? std::string(shown) + " " + qm::kLogDomain : std::string(qm::kLogDomain);
    g_setenv("G_MESSAGES_DEBUG", domains.c_str(), TRUE);
  }
  // Connected before the HTTP thread starts: this registers GIO's socket types on this thread
  // alone (see SoupHttp). Unique per user over the session bus; without a bus each start is its
  // own instance.
  auto bus = qm::GPtr<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus) g_application_set_flags(gApp, G_APPLICATION_NON_UNIQUE);
  bool alone = !bus || !anotherRunning(bus.get());
  start(app);
  // GTK is otherwise started after the registration on the bus. Up first, the main web view's
  // processes start while the app registers and builds its window; not when another instance
  // is about to take the request.
  if (gtk_init_check() && alone) app->instance->prepareWeb();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  App app;
  for (int i = 0; i < argc; ++i) app.args.emplace_back(argv[i]);
  g_set_application_name(qm::kAppName);
  // Logs go to standard error (or the journal), never into what a script reads from stdout.
  g_log_writer_default_set_use_stderr(TRUE);

  auto owned =
      qm::GPtr<GtkApplication>::adopt(gtk_application_new(qm::kAppId, G_APPLICATION_DEFAULT_FLAGS));
  GtkApplication* gtkApp = owned.get();
  GApplication* gApp = G_APPLICATION(gtkApp);
  g_application_add_main_option_entries(gApp, kOptions);
  g_application_set_option_context_summary(
      gApp,
      "The window onto your organisation's Quillmarsh suite server. It finds the server by\n"
      "itself (this computer, the remembered host, then the hosts built into the app), starts\n"
      "the server on this computer when it has to, and shares the suite sign-in with the\n"
      "suite's other apps.");
  g_application_set_option_context_description(
      gApp,
      "Environment:\n"
      "  QUARN_BUNDLE_DIR    folder holding Info.json and the intro resources\n"
      "  QUARN_SERVICE_TOOL  replaces the service manager's command-line tool\n"
      "  G_MESSAGES_DEBUG    \"quarn\" logs as --verbose does");
  g_signal_connect(gtkApp, "handle-local-options", G_CALLBACK(onLocalOptions), &app);
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
  int status = g_application_run(gApp, argc, argv);
  // Nothing is torn down: the app lives until the process ends, which is quicker than taking
  // the web engine apart on the way out.
  (void)app.instance.release();
  return status;
}

// The program: a GtkApplication, unique per user, held so closing the window does not quit.

#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "adapters/glib/GlibOptions.h"
#include "adapters/glib/GlibSignals.h"
#include "adapters/gtk/GtkInstance.h"
#include "adapters/gtk/GtkMainWindow.h"
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
  std::string program;  // the path it was started by
  qm::Options options;
  bool acceleration = true;
  std::unique_ptr<qm::gtk::GtkInstance> instance;
  // The launcher's token for bringing a window forward, read before GTK takes it from the
  // environment; a second start hands it to the running instance.
  std::string activationToken;
  std::atomic<bool> verbose = false;  // read by the log writer on any thread
};

// The default writer, except that --verbose shows this app's debug and info messages whatever
// G_MESSAGES_DEBUG says, leaving what it asks for in force for every other domain.
GLogWriterOutput writeLog(GLogLevelFlags level, const GLogField* fields, gsize count,
                          gpointer app) {
  if (static_cast<App*>(app)->verbose && (level & (G_LOG_LEVEL_DEBUG | G_LOG_LEVEL_INFO))) {
    for (gsize i = 0; i < count; ++i)
      if (g_strcmp0(fields[i].key, "GLIB_DOMAIN") == 0 && fields[i].length < 0 &&
          g_strcmp0(static_cast<const char*>(fields[i].value), qm::kLogDomain) == 0)
        return g_log_writer_is_journald(fileno(stderr))
                   ? g_log_writer_journald(level, fields, count, nullptr)
                   : g_log_writer_standard_streams(level, fields, count, nullptr);
  }
  return g_log_writer_default(level, fields, count, nullptr);
}

// A second start: the running instance brings its window forward, with the launcher's token.
void present(App* app, const std::string& token) {
  if (!app->instance || !app->instance->launched()) return;  // its launch shows the window
  qm::log(token.empty() ? "brought forward by a second start"
                        : "brought forward by a second start, activation token " + token);
  if (qm::gtk::GtkMainWindow* main = app->instance->platform().mainWindow())
    main->setActivationToken(token);
  app->instance->delegate().applicationShouldHandleReopen();
}

// The probes go out before GTK and the web engine start, which take longer than a server on
// this computer takes to answer.
void start(App* app) {
  std::string bundle = qm::GlibBundle::locate(app->program);
  // Said once here; each look-up in a missing folder then quietly finds nothing.
  if (!g_file_test(bundle.c_str(), G_FILE_TEST_IS_DIR))
    g_log_structured(qm::kLogDomain, G_LOG_LEVEL_WARNING, "MESSAGE",
                     "No bundle folder at %s: built-in settings only, no intro "
                     "(QUARN_BUNDLE_DIR names another)",
                     bundle.c_str());
  app->instance = std::make_unique<qm::gtk::GtkInstance>(app->options, bundle, app->acceleration);
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

// The running instance is asked over the bus to come forward; true once it was.
bool presentRunning(GApplication* gApp, const App& app) {
  if (!g_application_register(gApp, nullptr, nullptr) || !g_application_get_is_remote(gApp))
    return false;
  g_action_group_activate_action(G_ACTION_GROUP(gApp), "present",
                                 g_variant_new_string(app.activationToken.c_str()));
  if (GDBusConnection* bus = g_application_get_dbus_connection(gApp))
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
  return true;
}

int onLocalOptions(GApplication* gApp, GVariantDict* options, App* app) {
  if (int status = qm::readOptions(options, app->options); status >= 0) return status;
  app->verbose = app->options.verbose;
  // The environment is changed while this is the process's only thread: the signal watch's
  // worker, the bus connection, the HTTP thread and GLib's other workers read it.
  app->acceleration = qm::gtk::GtkInstance::accelerationWanted(app->options);
  qm::webkit::WebKitSession::setEnvironment(app->acceleration);
  qm::quitOnSignals(gApp);
  // Connected before the HTTP thread starts: this registers GIO's socket types on this thread
  // alone (see SoupHttp). Unique per user over the session bus; without a bus each start is its
  // own instance.
  auto bus = qm::GPtr<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus) g_application_set_flags(gApp, G_APPLICATION_NON_UNIQUE);
  bool alone = !bus || !anotherRunning(bus.get());
  if (!alone && presentRunning(gApp, *app)) return 0;
  start(app);
  // GTK is otherwise started after the registration on the bus. Up first, the main web view's
  // processes start while the app registers and builds its window.
  if (gtk_init_check()) app->instance->prepareWeb();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  App app;
  app.program = argc > 0 ? argv[0] : "";
  for (const char* name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"})
    if (const char* token = g_getenv(name); token && *token && app.activationToken.empty())
      app.activationToken = token;
  g_set_application_name(qm::kAppName);
  // Logs go to standard error (or the journal), never into what a script reads from stdout.
  g_log_writer_default_set_use_stderr(TRUE);
  g_log_set_writer_func(writeLog, &app, nullptr);

  auto owned =
      qm::GPtr<GtkApplication>::adopt(gtk_application_new(qm::kAppId, G_APPLICATION_DEFAULT_FLAGS));
  GtkApplication* gtkApp = owned.get();
  GApplication* gApp = G_APPLICATION(gtkApp);
  qm::addOptions(gApp);
  g_signal_connect(gtkApp, "handle-local-options", G_CALLBACK(onLocalOptions), &app);
  g_signal_connect(gtkApp, "startup",
                   G_CALLBACK(+[](GApplication* a, gpointer) { g_application_hold(a); }), nullptr);
  // What a second start asks of this instance (see presentRunning).
  auto presentAction =
      qm::GPtr<GSimpleAction>::adopt(g_simple_action_new("present", G_VARIANT_TYPE_STRING));
  g_signal_connect(presentAction.get(), "activate",
                   G_CALLBACK(+[](GSimpleAction*, GVariant* token, App* a) {
                     present(a, g_variant_get_string(token, nullptr));
                   }),
                   &app);
  g_action_map_add_action(G_ACTION_MAP(gtkApp), G_ACTION(presentAction.get()));
  g_signal_connect(gtkApp, "activate", G_CALLBACK(onActivate), &app);
  g_signal_connect(gtkApp, "shutdown", G_CALLBACK(onShutdown), &app);
  int status = g_application_run(gApp, argc, argv);
  // Nothing is torn down: the app lives until the process ends, which is quicker than taking
  // the web engine apart on the way out.
  (void)app.instance.release();
  return status;
}

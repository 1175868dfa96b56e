#include "adapters/glib/GlibNetworkEvents.h"

#include <gio/gio.h>

#include "core/Guard.h"
#include "core/Handle.h"
#include "core/Log.h"

namespace qm {

namespace {

struct Watch {
  std::function<void(const std::string&)> fn;
  SignalConnection changed;
  GPtr<GCancellable> cancellable = GPtr<GCancellable>::adopt(g_cancellable_new());
  GPtr<GDBusConnection> bus;
  guint sleep = 0;

  void tell(const char* what) {
    guarded([&] { fn(what); });
  }

  ~Watch() {
    g_cancellable_cancel(cancellable.get());
    if (sleep) g_dbus_connection_signal_unsubscribe(bus.get(), sleep);
  }
};

void onSystemBus(GObject*, GAsyncResult* result, gpointer data) {
  GError* raw = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &raw);
  GErrorPtr error(raw);
  if (g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;  // the watch is gone
  if (!bus) {
    log(std::string("no system bus (") + raw->message + "): waking from sleep is not watched");
    return;
  }
  auto* watch = static_cast<Watch*>(data);
  watch->bus = GPtr<GDBusConnection>::adopt(bus);
  watch->sleep = g_dbus_connection_signal_subscribe(
      bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
      "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* args,
         gpointer w) {
        gboolean sleeping = TRUE;
        if (g_variant_is_of_type(args, G_VARIANT_TYPE("(b)")))
          g_variant_get(args, "(b)", &sleeping);
        if (!sleeping) static_cast<Watch*>(w)->tell("the computer woke from sleep");
      },
      watch, nullptr);
}

}  // namespace

std::shared_ptr<void> GlibNetworkEvents::watch(std::function<void(const std::string&)> fn) {
  auto watch = std::make_shared<Watch>();
  watch->fn = std::move(fn);
  GNetworkMonitor* monitor = g_network_monitor_get_default();
  watch->changed = SignalConnection(
      monitor, g_signal_connect_swapped(
                   monitor, "network-changed",
                   G_CALLBACK(+[](Watch* w) { w->tell("the network changed"); }), watch.get()));
  // Asked for without blocking; the cancellable keeps a late answer from a watch that is gone.
  g_bus_get(G_BUS_TYPE_SYSTEM, watch->cancellable.get(), onSystemBus, watch.get());
  return watch;
}

}  // namespace qm

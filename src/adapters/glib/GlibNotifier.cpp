// Notifications and the launcher badge over the session bus. Everything is asynchronous and
// fails silently: without a bus or a notification server nothing is shown and nothing breaks.
#include <gio/gio.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "adapters/glib/GlibNotifier.h"
#include "core/Constants.h"
#include "core/Guard.h"
#include "core/Handle.h"
#include "core/Log.h"

namespace qm {

namespace {

constexpr const char* kAppUri = "application://app.quillmarsh.quarn.desktop";
constexpr const char* kLauncherPath = "/app/quillmarsh/quarn/LauncherEntry";
constexpr const char* kLauncherInterface = "com.canonical.Unity.LauncherEntry";
constexpr const char* kNotifyName = "org.freedesktop.Notifications";
constexpr const char* kNotifyPath = "/org/freedesktop/Notifications";
constexpr const char* kSound = "message-new-instant";
// Clicks of their own kept for at most this many notifications, the latest.
constexpr std::size_t kMaxActions = 64;

// GVariant strings must be valid UTF-8; text from a server answer is made so.
std::string validUtf8(const std::string& s) {
  GCharPtr valid(g_utf8_make_valid(s.c_str(), -1));
  return valid.get();
}

// The session bus connection, reached once; work that needs it waits until it is there.
// Pending callbacks hold the state, so it outlives the notifier if they do.
struct Bus : std::enable_shared_from_this<Bus> {
  enum class Phase { Idle, Connecting, Ready, Failed };
  Phase phase = Phase::Idle;
  GPtr<GDBusConnection> connection;
  std::vector<std::function<void(GDBusConnection*)>> waiting;
  // Our notifications, by the server's id, each with the unique bus name of the server that
  // showed it, and what clicking one does.
  std::map<guint32, std::string> shown;
  std::function<void()> onClicked;
  // Our notifications whose click does something of its own.
  std::map<guint32, std::function<void()>> actions;
  guint clicks = 0;

  void remember(guint32 id, std::string sender, std::function<void()> action) {
    shown[id] = std::move(sender);
    if (!action) {
      actions.erase(id);
      return;
    }
    actions[id] = std::move(action);
    if (actions.size() > kMaxActions) actions.erase(actions.begin());
  }

  ~Bus() {
    if (clicks) g_dbus_connection_signal_unsubscribe(connection.get(), clicks);
  }

  void with(std::function<void(GDBusConnection*)> fn) {
    switch (phase) {
      case Phase::Ready:
        fn(connection.get());
        return;
      case Phase::Failed:
        return;
      case Phase::Connecting:
        waiting.push_back(std::move(fn));
        return;
      case Phase::Idle:
        waiting.push_back(std::move(fn));
        phase = Phase::Connecting;
        g_bus_get(G_BUS_TYPE_SESSION, nullptr, &Bus::onBus,
                  new std::shared_ptr<Bus>(shared_from_this()));
        return;
    }
  }

  static void onBus(GObject*, GAsyncResult* result, gpointer data) {
    guarded([&] {
      std::unique_ptr<std::shared_ptr<Bus>> self(static_cast<std::shared_ptr<Bus>*>(data));
      Bus& bus = **self;
      bus.connection = GPtr<GDBusConnection>::adopt(g_bus_get_finish(result, nullptr));
      bus.phase = bus.connection ? Phase::Ready : Phase::Failed;
      auto waiting = std::move(bus.waiting);
      bus.waiting.clear();
      if (!bus.connection) return;
      bus.clicks = g_dbus_connection_signal_subscribe(
          bus.connection.get(), nullptr, kNotifyName, "ActionInvoked", kNotifyPath, nullptr,
          G_DBUS_SIGNAL_FLAGS_NONE, &Bus::onAction, new std::weak_ptr<Bus>(*self),
          [](gpointer p) { delete static_cast<std::weak_ptr<Bus>*>(p); });
      for (auto& fn : waiting) fn(bus.connection.get());
    });
  }

  // A click on one of our notifications (its default action) brings the window forward. Only
  // the server that showed it can say so: any other client on the bus can send this signal.
  static void onAction(GDBusConnection*, const char* sender, const char*, const char*, const char*,
                       GVariant* args, gpointer data) {
    guarded([&] {
      auto bus = static_cast<std::weak_ptr<Bus>*>(data)->lock();
      if (!bus || !g_variant_is_of_type(args, G_VARIANT_TYPE("(us)"))) return;
      guint32 id = 0;
      const char* key = nullptr;
      g_variant_get(args, "(u&s)", &id, &key);
      auto note = bus->shown.find(id);
      if (note == bus->shown.end()) return;  // another app's
      if (!sender || note->second != sender)
        return log("ignored a notification's action sent by " + std::string(sender ? sender : "?") +
                   ", not by " + note->second + " which showed it");
      if (g_strcmp0(key, "default") != 0) return;
      if (auto it = bus->actions.find(id); it != bus->actions.end()) {
        auto action = it->second;
        return action();
      }
      if (bus->onClicked) bus->onClicked();
    });
  }
};

struct Note {
  std::string title;
  std::string body;
  std::weak_ptr<Bus> bus;
  std::function<void()> onClicked;  // none: the window comes forward
};

void sendNotify(GDBusConnection* connection, const Note& note, bool markup) {
  std::string body = note.body;
  if (markup) body = GCharPtr(g_markup_escape_text(body.c_str(), -1)).get();

  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(kAppId));
  g_variant_builder_add(&hints, "{sv}", "sound-name", g_variant_new_string(kSound));
  const char* actions[] = {"default", "Show", nullptr};
  GVariant* args = g_variant_new("(susss^asa{sv}i)", kAppName, 0u, kAppId, note.title.c_str(),
                                 body.c_str(), actions, &hints, -1);
  // Sent as a message, so the reply tells which connection answered for the name.
  GPtr<GDBusMessage> call = GPtr<GDBusMessage>::adopt(
      g_dbus_message_new_method_call(kNotifyName, kNotifyPath, kNotifyName, "Notify"));
  g_dbus_message_set_body(call.get(), args);
  g_dbus_connection_send_message_with_reply(
      connection, call.get(), G_DBUS_SEND_MESSAGE_FLAGS_NONE, -1, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        guarded([&] {
          std::unique_ptr<Note> sent(static_cast<Note*>(data));
          auto reply = GPtr<GDBusMessage>::adopt(g_dbus_connection_send_message_with_reply_finish(
              G_DBUS_CONNECTION(source), result, nullptr));
          if (!reply ||
              g_dbus_message_get_message_type(reply.get()) != G_DBUS_MESSAGE_TYPE_METHOD_RETURN)
            return;
          GVariant* body = g_dbus_message_get_body(reply.get());
          const char* sender = g_dbus_message_get_sender(reply.get());
          if (!body || !sender || !g_variant_is_of_type(body, G_VARIANT_TYPE("(u)"))) return;
          guint32 id = 0;
          g_variant_get(body, "(u)", &id);
          if (auto bus = sent->bus.lock(); bus && id)
            bus->remember(id, sender, std::move(sent->onClicked));
        });
      },
      new Note(note));
}

// Servers that render markup in the body would misread a check's "<" or "&", so the body is
// escaped for them and only for them.
void onCapabilities(GObject* source, GAsyncResult* result, gpointer data) {
  guarded([&] {
    std::unique_ptr<Note> note(static_cast<Note*>(data));
    Owned<GVariant> reply(
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr));
    bool markup = false;
    if (reply) {
      Owned<GVariant> caps(g_variant_get_child_value(reply.get(), 0));
      for (gsize i = 0, n = g_variant_n_children(caps.get()); i < n; ++i) {
        const gchar* cap = nullptr;
        g_variant_get_child(caps.get(), i, "&s", &cap);
        if (g_strcmp0(cap, "body-markup") == 0) markup = true;
      }
    }
    sendNotify(G_DBUS_CONNECTION(source), *note, markup);
  });
}

class GlibNotifier : public Notifier {
 public:
  explicit GlibNotifier(std::function<void()> onClicked) { bus_->onClicked = std::move(onClicked); }
  // The bus may outlive the notifier; no click reaches the app after it.
  ~GlibNotifier() override {
    bus_->onClicked = nullptr;
    bus_->actions.clear();
  }

  void post(const std::string& title, const std::string& body) override {
    postAction(title, body, {});
  }

  void postAction(const std::string& title, const std::string& body,
                  std::function<void()> onClicked) override {
    auto note =
        std::make_shared<Note>(Note{validUtf8(title), validUtf8(body), bus_, std::move(onClicked)});
    bus_->with([note](GDBusConnection* connection) {
      g_dbus_connection_call(connection, kNotifyName, kNotifyPath, kNotifyName, "GetCapabilities",
                             nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                             &onCapabilities, new Note(*note));
    });
  }

  void setBadge(std::optional<std::int64_t> count) override {
    bus_->with([count](GDBusConnection* connection) {
      GVariantBuilder props;
      g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
      g_variant_builder_add(&props, "{sv}", "count", g_variant_new_int64(count.value_or(0)));
      g_variant_builder_add(&props, "{sv}", "count-visible",
                            g_variant_new_boolean(count.has_value()));
      g_dbus_connection_emit_signal(connection, nullptr, kLauncherPath, kLauncherInterface,
                                    "Update", g_variant_new("(sa{sv})", kAppUri, &props), nullptr);
    });
  }

  // Only the progress's keys: the launcher keeps the badge it has.
  void setProgress(std::optional<double> progress) override {
    bus_->with([progress](GDBusConnection* connection) {
      GVariantBuilder props;
      g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
      if (progress)
        g_variant_builder_add(&props, "{sv}", "progress",
                              g_variant_new_double(std::clamp(*progress, 0.0, 1.0)));
      g_variant_builder_add(&props, "{sv}", "progress-visible",
                            g_variant_new_boolean(progress.has_value()));
      g_dbus_connection_emit_signal(connection, nullptr, kLauncherPath, kLauncherInterface,
                                    "Update", g_variant_new("(sa{sv})", kAppUri, &props), nullptr);
    });
  }

 private:
  std::shared_ptr<Bus> bus_ = std::make_shared<Bus>();
};

}  // namespace

std::unique_ptr<Notifier> makeNotifier(std::function<void()> onClicked) {
  return std::make_unique<GlibNotifier>(std::move(onClicked));
}

}  // namespace qm

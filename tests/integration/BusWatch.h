#pragma once
// The desktop's side of the session bus for tests: a notification server of our own and a
// listener for launcher badge updates, each on its own connection to the private bus.

#include <gio/gio.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/LoopbackServer.h"
#include "platform/soup/GObjectPtr.h"

namespace qm::itest {

inline GPtr<GDBusConnection> privateConnection() {
  const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address) return {};
  return GPtr<GDBusConnection>::adopt(g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr));
}

class FakeNotificationServer {
 public:
  struct Note {
    std::string app, icon, summary, body;
    std::uint32_t replacesId = 0;
    std::vector<std::string> actions;
    std::map<std::string, std::string> hints;  // string hints only
    std::int32_t timeout = 0;
  };

  explicit FakeNotificationServer(std::vector<std::string> capabilities = {"body"})
      : caps_(std::move(capabilities)), conn_(privateConnection()) {
    if (!conn_) return;
    static const char* xml =
        "<node><interface name='org.freedesktop.Notifications'>"
        "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
        "<method name='Notify'><arg type='s'/><arg type='u'/><arg type='s'/><arg type='s'/>"
        "<arg type='s'/><arg type='as'/><arg type='a{sv}'/><arg type='i'/>"
        "<arg type='u' direction='out'/></method>"
        "</interface></node>";
    info_ = g_dbus_node_info_new_for_xml(xml, nullptr);
    static const GDBusInterfaceVTable vtable = {
        &FakeNotificationServer::onCall, nullptr, nullptr, {}};
    object_ =
        g_dbus_connection_register_object(conn_.get(), "/org/freedesktop/Notifications",
                                          info_->interfaces[0], &vtable, this, nullptr, nullptr);
    owner_ = g_bus_own_name_on_connection(
        conn_.get(), "org.freedesktop.Notifications", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer self) {
          static_cast<FakeNotificationServer*>(self)->owned_ = true;
        },
        nullptr, this, nullptr);
    test::spinUntil([this] { return owned_; }, 10);
  }
  ~FakeNotificationServer() {
    if (owner_) g_bus_unown_name(owner_);
    if (object_) g_dbus_connection_unregister_object(conn_.get(), object_);
    if (info_) g_dbus_node_info_unref(info_);
    if (conn_) g_dbus_connection_close_sync(conn_.get(), nullptr, nullptr);
  }
  FakeNotificationServer(const FakeNotificationServer&) = delete;
  FakeNotificationServer& operator=(const FakeNotificationServer&) = delete;

  bool owned() const { return owned_; }
  const std::vector<Note>& notes() const { return notes_; }

 private:
  static void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                     GVariant* params, GDBusMethodInvocation* call, gpointer data) {
    auto* self = static_cast<FakeNotificationServer*>(data);
    if (g_strcmp0(method, "GetCapabilities") == 0) {
      GVariantBuilder caps;
      g_variant_builder_init(&caps, G_VARIANT_TYPE("as"));
      for (auto& c : self->caps_) g_variant_builder_add(&caps, "s", c.c_str());
      g_dbus_method_invocation_return_value(call, g_variant_new("(as)", &caps));
      return;
    }
    Note n;
    const char *app, *icon, *summary, *body;
    GVariantIter *actions, *hints;
    g_variant_get(params, "(&su&s&s&sasa{sv}i)", &app, &n.replacesId, &icon, &summary, &body,
                  &actions, &hints, &n.timeout);
    n.app = app;
    n.icon = icon;
    n.summary = summary;
    n.body = body;
    const char* action;
    while (g_variant_iter_next(actions, "&s", &action)) n.actions.push_back(action);
    const char* key;
    GVariant* value;
    while (g_variant_iter_next(hints, "{&sv}", &key, &value)) {
      if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
        n.hints[key] = g_variant_get_string(value, nullptr);
      else
        n.hints[key] = "<" + std::string(g_variant_get_type_string(value)) + ">";
      g_variant_unref(value);
    }
    g_variant_iter_free(actions);
    g_variant_iter_free(hints);
    self->notes_.push_back(std::move(n));
    g_dbus_method_invocation_return_value(
        call, g_variant_new("(u)", static_cast<std::uint32_t>(self->notes_.size())));
  }

  std::vector<std::string> caps_;
  GPtr<GDBusConnection> conn_;
  GDBusNodeInfo* info_ = nullptr;
  guint object_ = 0;
  guint owner_ = 0;
  bool owned_ = false;
  std::vector<Note> notes_;
};

// Every launcher entry update seen on the bus.
class BadgeWatch {
 public:
  struct Update {
    std::string path, appUri;
    std::optional<std::int64_t> count;
    std::optional<bool> visible;
  };

  BadgeWatch() : conn_(privateConnection()) {
    if (!conn_) return;
    sub_ = g_dbus_connection_signal_subscribe(
        conn_.get(), nullptr, "com.canonical.Unity.LauncherEntry", "Update", nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &BadgeWatch::onSignal, this, nullptr);
    // A round trip to the bus, so the match rule is in place before anything is emitted.
    g_dbus_connection_flush_sync(conn_.get(), nullptr, nullptr);
    GVariant* id = g_dbus_connection_call_sync(
        conn_.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetId", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (id) g_variant_unref(id);
  }
  ~BadgeWatch() {
    if (sub_) g_dbus_connection_signal_unsubscribe(conn_.get(), sub_);
    if (conn_) g_dbus_connection_close_sync(conn_.get(), nullptr, nullptr);
  }
  BadgeWatch(const BadgeWatch&) = delete;
  BadgeWatch& operator=(const BadgeWatch&) = delete;

  const std::vector<Update>& updates() const { return updates_; }
  // The shown badge of each update: its count, or none when hidden.
  std::vector<std::optional<std::int64_t>> shown() const {
    std::vector<std::optional<std::int64_t>> out;
    for (auto& u : updates_) out.push_back(u.visible.value_or(false) ? u.count : std::nullopt);
    return out;
  }

 private:
  static void onSignal(GDBusConnection*, const char*, const char* path, const char*, const char*,
                       GVariant* params, gpointer data) {
    auto* self = static_cast<BadgeWatch*>(data);
    Update u;
    u.path = path;
    if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(sa{sv})"))) {
      self->updates_.push_back(u);
      return;
    }
    const char* uri;
    GVariantIter* props;
    g_variant_get(params, "(&sa{sv})", &uri, &props);
    u.appUri = uri;
    const char* key;
    GVariant* value;
    while (g_variant_iter_next(props, "{&sv}", &key, &value)) {
      if (g_strcmp0(key, "count") == 0 && g_variant_is_of_type(value, G_VARIANT_TYPE_INT64))
        u.count = g_variant_get_int64(value);
      if (g_strcmp0(key, "count-visible") == 0 &&
          g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
        u.visible = g_variant_get_boolean(value);
      g_variant_unref(value);
    }
    g_variant_iter_free(props);
    self->updates_.push_back(u);
  }

  GPtr<GDBusConnection> conn_;
  guint sub_ = 0;
  std::vector<Update> updates_;
};

}  // namespace qm::itest

#pragma once
// A real HTTP server inside the test process (libsoup's SoupServer) on a loopback address and a
// free port, driven by the same GLib main loop as the code under test.

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::test {

class LoopbackServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    double delaySeconds = 0;  // answer later, without blocking the loop
    std::map<std::string, std::string> headers;
  };
  struct Seen {
    std::string path;
    std::string cookie;  // the Cookie header, empty when none
  };
  using Handler = std::function<Reply(const std::string& path)>;

  explicit LoopbackServer(const std::string& address = "127.0.0.1", int port = 0) {
    server_ = soup_server_new(nullptr, nullptr);
    soup_server_add_handler(server_, nullptr, &LoopbackServer::onRequest, this, nullptr);
    GInetAddress* inet = g_inet_address_new_from_string(address.c_str());
    GSocketAddress* sa = g_inet_socket_address_new(inet, static_cast<guint16>(port));
    GError* err = nullptr;
    if (!soup_server_listen(server_, sa, static_cast<SoupServerListenOptions>(0), &err)) {
      std::string m = err ? err->message : "listen failed";
      g_clear_error(&err);
      g_object_unref(sa);
      g_object_unref(inet);
      throw std::runtime_error(m);
    }
    g_object_unref(sa);
    g_object_unref(inet);
    GSList* uris = soup_server_get_uris(server_);
    port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    host_ = address;
  }
  ~LoopbackServer() {
    for (guint id : timers_) g_source_remove(id);
    soup_server_disconnect(server_);
    g_object_unref(server_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void handle(Handler h) { handler_ = std::move(h); }
  int port() const { return port_; }
  const std::string& host() const { return host_; }
  std::string url(const std::string& path = "/") const {
    return "http://" + host_ + ":" + std::to_string(port_) + path;
  }
  const std::vector<Seen>& seen() const { return seen_; }

 private:
  static void onRequest(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*,
                        gpointer self) {
    auto* s = static_cast<LoopbackServer*>(self);
    const char* cookie =
        soup_message_headers_get_one(soup_server_message_get_request_headers(msg), "Cookie");
    s->seen_.push_back({path, cookie ? cookie : ""});
    Reply r = s->handler_ ? s->handler_(path) : Reply{};
    for (auto& [k, v] : r.headers)
      soup_message_headers_replace(soup_server_message_get_response_headers(msg), k.c_str(),
                                   v.c_str());
    soup_server_message_set_response(msg, r.contentType.c_str(), SOUP_MEMORY_COPY, r.body.data(),
                                     r.body.size());
    soup_server_message_set_status(msg, r.status, nullptr);
    if (r.delaySeconds > 0) {
      soup_server_message_pause(msg);
      auto* later = new Later{s, GPtrMsgRef(msg), 0};
      later->id = g_timeout_add_full(
          G_PRIORITY_DEFAULT, static_cast<guint>(r.delaySeconds * 1000),
          [](gpointer d) -> gboolean {
            auto* l = static_cast<Later*>(d);
            std::erase(l->server->timers_, l->id);
            soup_server_message_unpause(l->msg.get());
            return G_SOURCE_REMOVE;
          },
          later, [](gpointer d) { delete static_cast<Later*>(d); });
      s->timers_.push_back(later->id);
    }
  }

  struct MsgUnref {
    void operator()(SoupServerMessage* m) const { g_object_unref(m); }
  };
  using GPtrMsg = std::unique_ptr<SoupServerMessage, MsgUnref>;
  struct Later {
    LoopbackServer* server;
    GPtrMsg msg;
    guint id;
  };
  static GPtrMsg GPtrMsgRef(SoupServerMessage* m) {
    return GPtrMsg(static_cast<SoupServerMessage*>(g_object_ref(m)));
  }

  SoupServer* server_ = nullptr;
  Handler handler_;
  int port_ = 0;
  std::string host_;
  std::vector<Seen> seen_;
  std::vector<guint> timers_;
};

// Runs the default main context until pred() holds or the bound passes; true when it held.
inline bool spinUntil(const std::function<bool()>& pred, double seconds = 20) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return true;
}

}  // namespace qm::test

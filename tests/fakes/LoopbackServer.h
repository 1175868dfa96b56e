#pragma once
// A real HTTP server inside the test process (libsoup's SoupServer) on a loopback address
// (127.0.0.1 unless told) and a free port, driven by the same GLib main loop as the code under
// test.

#include <libsoup/soup.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/Handle.h"

namespace qm::test {

class LoopbackServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;  // for a redirect (3xx), also its Location
  };

  explicit LoopbackServer(std::function<Reply(const std::string& path)> handler,
                          const char* address = "127.0.0.1")
      : handler_(std::move(handler)),
        server_(GPtr<SoupServer>::adopt(soup_server_new(nullptr, nullptr))) {
    soup_server_add_handler(server_.get(), nullptr, &LoopbackServer::onRequest, this, nullptr);
    GError* raw = nullptr;
    auto where = GPtr<GSocketAddress>::adopt(g_inet_socket_address_new_from_string(address, 0));
    if (!soup_server_listen(server_.get(), where.get(), SoupServerListenOptions(0), &raw))
      throw std::runtime_error(GErrorPtr(raw)->message);
    GSList* uris = soup_server_get_uris(server_.get());
    url_ = std::string("http://") + address + ":" +
           std::to_string(g_uri_get_port(static_cast<GUri*>(uris->data)));
    g_slist_free_full(uris, GDestroyNotify(g_uri_unref));
  }
  ~LoopbackServer() { soup_server_disconnect(server_.get()); }

  std::string url(const std::string& path) const { return url_ + path; }

 private:
  static void onRequest(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*,
                        gpointer self) {
    Reply r = static_cast<LoopbackServer*>(self)->handler_(path);
    soup_server_message_set_response(msg, "text/plain", SOUP_MEMORY_COPY, r.body.data(),
                                     r.body.size());
    soup_server_message_set_status(msg, r.status, nullptr);
    if (r.status / 100 == 3)
      soup_message_headers_replace(soup_server_message_get_response_headers(msg), "Location",
                                   r.body.c_str());
  }

  std::function<Reply(const std::string& path)> handler_;
  GPtr<SoupServer> server_;
  std::string url_;
};

// Runs the default main context until pred() holds or the bound passes; true when it held.
inline bool spinUntil(const std::function<bool()>& pred, double seconds = 30) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return true;
}

}  // namespace qm::test

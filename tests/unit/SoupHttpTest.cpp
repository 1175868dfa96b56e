// The real libsoup Http against a server on loopback, and the GLib loop's worker threads.
#include "adapters/soup/SoupHttp.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "adapters/glib/GlibLoop.h"
#include "fakes/LoopbackServer.h"

namespace qm {
namespace {

using test::LoopbackServer;

// A listener on 127.0.0.1 whose thread of its own answers the first request `delay` seconds
// after it arrives, whatever the main thread is doing. Its URL.
std::string answeredAfter(double delay) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t size = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), size), listen(fd, 1);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  std::thread([fd, delay] {
    int c = accept(fd, nullptr, nullptr);
    char request[4096];
    if (read(c, request, sizeof request) > 0) g_usleep(static_cast<gulong>(delay * 1e6));
    std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
    close(c), close(fd);
  }).detach();
  return "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/";
}

TEST(SoupHttp, CompletesEachCallOnceAfterGetReturnsWithWhatArrived) {
  const std::string big(20000, 'x');  // more than one read of the body
  int elsewhere = 0;
  LoopbackServer other([&](const std::string&) { return ++elsewhere, LoopbackServer::Reply{}; },
                       "127.0.0.2");
  LoopbackServer server([&](const std::string& path) {
    if (path == "/302") return LoopbackServer::Reply{302, other.url("/")};
    return LoopbackServer::Reply{path == "/404" ? 404 : 200, path == "/big" ? big : "hello"};
  });
  // name, URL, time-out, largest body, wantBody, cancelled: the status (none when no response
  // arrived) and the body
  std::tuple<const char*, std::string, double, std::size_t, bool, bool, std::optional<int>,
             std::optional<std::string>>
      rows[] = {
          {"status and body", server.url("/404"), 5, 1 << 20, true, false, 404, "hello"},
          {"a redirect, not followed", server.url("/302"), 5, 1 << 20, true, false, 302,
           other.url("/")},
          {"body at the limit", server.url("/big"), 5, 20000, true, false, 200, big},
          {"body over the limit", server.url("/big"), 5, 19999, true, false, 200, {}},
          {"no body wanted", server.url("/"), 5, 1 << 20, false, false, 200, {}},
          {"time-out", answeredAfter(0.5), 0.1, 1 << 20, true, false, {}, {}},
          {"slow within its time", answeredAfter(3.2), 5, 1 << 20, true, false, 200, "ok"},
          {"in time, main thread blocked", answeredAfter(0.5), 1.5, 1 << 20, true, false, 200,
           "ok"},
          {"cancelled", server.url("/"), 5, 1 << 20, true, true, 200, "hello"},
          {"nothing listening", "http://127.0.0.3:1/", 5, 1 << 20, true, false, {}, {}},
          {"URL that does not parse", "http://exa mple/", 5, 1 << 20, true, false, {}, {}},
      };
  SoupHttp http;
  std::vector<std::vector<std::pair<HttpResponse, bool>>> got(std::size(rows));
  std::size_t calls = 0;
  bool inGet = false;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    auto& [name, url, timeout, maxBody, wantBody, cancel, status, body] = rows[i];
    inGet = true;
    HttpId id = http.get({url, timeout, {}, maxBody, wantBody},
                         [&, i](HttpResponse r) { got[i].emplace_back(r, inGet), ++calls; });
    inGet = false;
    if (cancel) http.cancel(id);
  }
  g_usleep(2000000);  // the main thread busy past a time-out, as when GTK and WebKit start
  // Stray completions, of the cancelled call or a second one of the timed-out call, would come
  // before the slowest answer. Longer than a second, it also rules out a time-out of the session.
  ASSERT_TRUE(test::spinUntil([&] { return calls >= std::size(rows) - 1; }));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    auto& [name, url, timeout, maxBody, wantBody, cancel, status, body] = rows[i];
    SCOPED_TRACE(name);
    ASSERT_EQ(got[i].size(), cancel ? 0u : 1u);
    if (cancel) continue;
    auto& [r, inside] = got[i][0];
    EXPECT_FALSE(inside);
    EXPECT_EQ(std::tuple(r.received, r.status, r.body),
              std::tuple(status.has_value(), status.value_or(0), body));
  }
  EXPECT_EQ(elsewhere, 0);  // the sign-in a request carries never reaches another host
}

TEST(SoupHttp, GoneWithAnAnswerQueuedAndOneUnderWayRunsNoCompletion) {
  int calls = 0;
  auto http = std::make_unique<SoupHttp>();
  for (double delay : {0.0, 3.0})
    http->get({answeredAfter(delay), 5, {}}, [&](HttpResponse) { ++calls; });
  // Until the quick answer waits on the main context.
  for (int i = 0; i < 400 && !g_main_context_pending(nullptr); ++i) g_usleep(5000);
  http.reset();
  test::spinUntil([] { return false; }, 0.5);
  EXPECT_EQ(calls, 0);
}

TEST(GlibLoop, BackgroundWorkRunsOffTheMainThreadAndItsResultComesBackOnIt) {
  GlibLoop loop;
  std::optional<std::pair<std::thread::id, std::thread::id>> ran;  // work's thread, done's
  inBackground<std::thread::id>(
      loop, [] { return std::this_thread::get_id(); },
      [&](std::thread::id worker) { ran.emplace(worker, std::this_thread::get_id()); });
  ASSERT_TRUE(test::spinUntil([&] { return ran.has_value(); }));
  EXPECT_TRUE(ran->first != std::this_thread::get_id() &&
              ran->second == std::this_thread::get_id());
}

}  // namespace
}  // namespace qm

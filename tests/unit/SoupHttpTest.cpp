// The real libsoup Http against listeners on loopback.
#include "adapters/soup/SoupHttp.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "fakes/Spin.h"

namespace qm {
namespace {

// A listener on `address` whose thread of its own answers the first request with `reply`,
// `delay` seconds after it arrives, whatever the main thread is doing, and counts it in `asked`.
// With `dropped`, a client that closes the connection meanwhile sets it and gets no answer.
// Its URL.
std::string served(const std::string& reply, double delay = 0, const char* address = "127.0.0.1",
                   std::atomic<int>* asked = nullptr, std::atomic<bool>* dropped = nullptr) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{AF_INET, 0, {inet_addr(address)}, {}};
  socklen_t size = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), size), listen(fd, 1);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  std::thread([fd, delay, reply, asked, dropped] {
    int c = accept(fd, nullptr, nullptr);
    char request[4096];
    bool gone = false;
    if (read(c, request, sizeof request) > 0) {
      if (asked) ++*asked;
      pollfd peer{c, POLLIN, 0};
      if (!dropped) g_usleep(static_cast<gulong>(delay * 1e6));
      gone = dropped && poll(&peer, 1, static_cast<int>(delay * 1000)) > 0 &&
             recv(c, request, sizeof request, 0) <= 0;
    }
    if (!gone) send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
    close(c), close(fd);
    if (gone) *dropped = true;  // last: the test may end as soon as it sees it
  }).detach();
  return "http://" + std::string(address) + ":" + std::to_string(ntohs(a.sin_port)) + "/";
}

std::string response(int status, const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(SoupHttp, CompletesEachCallOnceAfterGetReturnsWithWhatArrived) {
  const std::string big(20000, 'x'), ok = response(200, "ok");  // more than one read of the body
  std::atomic<int> elsewhere = 0;
  const std::string other = served(ok, 0, "127.0.0.2", &elsewhere);
  // name, URL, time-out, largest body, wantBody, cancelled: the status (none when no response
  // arrived) and the body
  std::tuple<const char*, std::string, double, std::size_t, bool, bool, std::optional<int>,
             std::optional<std::string>>
      rows[] = {
          {"status and body", served(response(404, "hello")), 5, 1 << 20, true, false, 404,
           "hello"},
          {"a redirect, not followed", served(response(302, other, "Location: " + other + "\r\n")),
           5, 1 << 20, true, false, 302, other},
          {"body at the limit", served(response(200, big)), 5, 20000, true, false, 200, big},
          {"body over the limit", served(response(200, big)), 5, 19999, true, false, 200, {}},
          {"no body wanted", served(ok), 5, 1 << 20, false, false, 200, {}},
          {"time-out", served(ok, 0.5), 0.1, 1 << 20, true, false, {}, {}},
          {"slow within its time", served(ok, 3.2), 5, 1 << 20, true, false, 200, "ok"},
          {"in time, main thread blocked", served(ok, 0.5), 1.5, 1 << 20, true, false, 200, "ok"},
          {"cancelled", served(ok), 5, 1 << 20, true, true, 200, "ok"},
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
  std::atomic<bool> dropped = false;
  auto http = std::make_unique<SoupHttp>();
  http->get({served(response(200, "ok")), 5, {}}, [&](HttpResponse) { ++calls; });
  http->get({served(response(200, "ok"), 10, "127.0.0.1", nullptr, &dropped), 20, {}},
            [&](HttpResponse) { ++calls; });
  // Until the quick answer waits on the main context.
  for (int i = 0; i < 400 && !g_main_context_pending(nullptr); ++i) g_usleep(5000);
  http.reset();
  // The exchange under way is given up, its connection closed before its answer is due; the
  // main context runs meanwhile, so a completion queued or posted late would be counted.
  EXPECT_TRUE(test::spinUntil([&] { return dropped.load(); }));
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace qm

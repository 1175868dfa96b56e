#include "platform/soup/SoupHttp.h"

#include <gtest/gtest.h>

#include <optional>

#include "fakes/LoopbackServer.h"

namespace qm {
namespace {

using test::LoopbackServer;
using test::spinUntil;

struct Result {
  std::optional<HttpResponse> response;
  int calls = 0;
};

HttpRequest req(std::string url, double timeout,
                std::vector<std::pair<std::string, std::string>> headers = {}) {
  HttpRequest r;
  r.url = std::move(url);
  r.timeoutSeconds = timeout;
  r.headers = std::move(headers);
  return r;
}

LoopbackServer::Reply reply(int status, std::string body, double delay = 0) {
  LoopbackServer::Reply r;
  r.status = status;
  r.body = std::move(body);
  r.delaySeconds = delay;
  return r;
}

std::function<void(HttpResponse)> into(Result& r) {
  return [&r](HttpResponse resp) {
    r.response = std::move(resp);
    ++r.calls;
  };
}

TEST(SoupHttp, DeliversStatusBodyAndOnlyTheGivenHeaders) {
  LoopbackServer server("127.0.0.2");
  server.handle(
      [](const std::string& path) { return reply(path == "/missing" ? 404 : 200, "hello"); });
  SoupHttp http;
  Result ok, missing;
  http.get(req(server.url("/x"), 5, {{"Cookie", "qmsuite=abc"}}), into(ok));
  http.get(req(server.url("/missing"), 5), into(missing));
  ASSERT_TRUE(spinUntil([&] { return ok.calls && missing.calls; }));
  EXPECT_TRUE(ok.response->received);
  EXPECT_EQ(ok.response->status, 200);
  EXPECT_EQ(ok.response->body, "hello");
  EXPECT_EQ(missing.response->status, 404);
  ASSERT_EQ(server.seen().size(), 2u);
  EXPECT_EQ(server.seen()[0].cookie, "qmsuite=abc");
  EXPECT_EQ(server.seen()[1].cookie, "");
}

TEST(SoupHttp, FailuresCompleteOnceWithoutAResponse) {
  LoopbackServer slow;
  slow.handle([](const std::string&) { return reply(200, "late", 3); });
  SoupHttp http;
  Result timeout, invalid, notHttp;
  bool returned = false;
  http.get(req(slow.url("/"), 0.3), into(timeout));
  http.get(req("http://exa mple/", 1), [&](HttpResponse r) {
    EXPECT_TRUE(returned) << "completion ran inside get()";
    invalid.response = r;
    ++invalid.calls;
  });
  returned = true;
  http.get(req("file:///etc/passwd", 1), into(notHttp));
  ASSERT_TRUE(spinUntil([&] { return timeout.calls && invalid.calls && notHttp.calls; }));
  EXPECT_FALSE(timeout.response->received);
  EXPECT_FALSE(invalid.response->received);
  EXPECT_FALSE(notHttp.response->received);
  // The slow answer arriving later must not complete the call a second time.
  spinUntil([] { return false; }, 3.5);
  EXPECT_EQ(timeout.calls, 1);
}

TEST(SoupHttp, OversizedBodyIsDroppedButStatusKept) {
  LoopbackServer server;
  server.handle([](const std::string&) { return reply(200, std::string(100000, 'x')); });
  SoupHttp http;
  Result big, fits, probe;
  HttpRequest small = req(server.url("/"), 5);
  small.maxBodyBytes = 1000;
  http.get(small, into(big));
  http.get(req(server.url("/"), 5), into(fits));
  HttpRequest noBody = req(server.url("/"), 5);
  noBody.wantBody = false;
  http.get(noBody, into(probe));
  ASSERT_TRUE(spinUntil([&] { return big.calls && fits.calls && probe.calls; }));
  EXPECT_EQ(big.response->status, 200);
  EXPECT_FALSE(big.response->body);
  EXPECT_EQ(fits.response->body->size(), 100000u);
  EXPECT_EQ(probe.response->status, 200);
  EXPECT_FALSE(probe.response->body);
}

TEST(SoupHttp, CancelledCallNeverCompletes) {
  LoopbackServer server;
  server.handle([](const std::string&) { return reply(200, "x", 0.2); });
  SoupHttp http;
  Result cancelled, other;
  HttpId id = http.get(req(server.url("/"), 5), into(cancelled));
  http.get(req(server.url("/"), 5), into(other));
  http.cancel(id);
  http.cancel(id);
  http.cancel(9999);
  ASSERT_TRUE(spinUntil([&] { return other.calls == 1; }));
  spinUntil([] { return false; }, 0.5);
  EXPECT_EQ(cancelled.calls, 0);
}

}  // namespace
}  // namespace qm

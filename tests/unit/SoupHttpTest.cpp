// The real libsoup Http against a server on loopback.
#include "platform/soup/SoupHttp.h"

#include <gtest/gtest.h>

#include "fakes/LoopbackServer.h"

namespace qm {
namespace {

using test::LoopbackServer;

TEST(SoupHttp, CompletesEachCallOnceAfterGetReturnsWithWhatArrived) {
  const std::string big(20000, 'x');  // more than one read of the body
  LoopbackServer server([&](const std::string& path) {
    double wait = path.starts_with("/wait") ? std::stod(path.substr(5)) : 0;  // "/wait<seconds>"
    return LoopbackServer::Reply{path == "/404" ? 404 : 200, path == "/big" ? big : "hello", wait};
  });
  // name, URL, time-out, largest body, wantBody, cancelled: the status (none when no response
  // arrived) and the body
  std::tuple<const char*, std::string, double, std::size_t, bool, bool, std::optional<int>,
             std::optional<std::string>>
      rows[] = {
          {"status and body", server.url("/404"), 5, 1 << 20, true, false, 404, "hello"},
          {"body at the limit", server.url("/big"), 5, 20000, true, false, 200, big},
          {"body over the limit", server.url("/big"), 5, 19999, true, false, 200, {}},
          {"no body wanted", server.url("/"), 5, 1 << 20, false, false, 200, {}},
          {"time-out", server.url("/wait0.5"), 0.1, 1 << 20, true, false, {}, {}},
          {"slow within its time", server.url("/wait1.2"), 5, 1 << 20, true, false, 200, "hello"},
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
}

}  // namespace
}  // namespace qm

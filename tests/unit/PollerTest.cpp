#include <glib.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "poller/Overview.h"

namespace qm {
namespace {

using Badge = std::optional<std::int64_t>;

Cookie cookie(const std::string& name, const std::string& value, const std::string& domain) {
  Cookie c;
  c.name = name;
  c.value = value;
  c.domain = domain;
  return c;
}

// An overview whose checks have the given statuses, titled c0, c1, ... with details d0, d1, ...
std::string overviewOf(const std::vector<std::string>& statuses) {
  nlohmann::json checks = nlohmann::json::array();
  for (size_t i = 0; i < statuses.size(); ++i)
    checks.push_back({{"status", statuses[i]},
                      {"title", "c" + std::to_string(i)},
                      {"detail", "d" + std::to_string(i)}});
  return nlohmann::json{{"checks", checks}, {"other", 1}}.dump();
}

std::string nested(int depth) {
  return "{\"checks\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

TEST(Overview, ReadsOnlyExactBadStatusesWithTheirTexts) {
  // Only "bad" counts; a missing or non-string title or detail has a stand-in; markup stays text.
  const std::string mixed =
      R"({"checks":[{"status":"Bad"},{"status":" bad"},{"status":1},{"status":null},{},)"
      R"({"status":"bad","detail":"open port"},{"status":"bad","title":7},)"
      R"({"status":"bad","title":"T","detail":[1]},{"status":"bad","title":"<b>&","detail":"é"}]})";
  struct Case {
    std::string body;
    std::vector<std::string> described;
  } cases[] = {
      {overviewOf({"ok", "bad", "warn", "bad"}), {"c1: d1", "c3: d3"}},
      {mixed, {"A check: open port", "A check: ", "T: ", "<b>&: é"}},
      {R"({"checks":[]})", {}},
  };
  const std::string unusable[] = {
      R"({"checks":"bad"})",
      R"({"check":[]})",
      R"({"checks":[{"status":"bad"},"bad"]})",
      R"({"checks":[{"status":"bad"},null]})",
      R"([{"checks":[]}])",
      "<html>",
      "",
      R"({"checks":[{"status":"bad"})",
      nested(100000),
      R"({"checks":[],"pad":")" + std::string(overview::kMaxBytes, 'x') + "\"}"};
  for (auto& body : unusable) EXPECT_FALSE(overview::badChecks(body)) << body.substr(0, 80);
  for (auto& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 80));
    auto bad = overview::badChecks(c.body);
    ASSERT_TRUE(bad);
    std::vector<std::string> described;
    for (auto& b : *bad) described.push_back(overview::describe(b));
    EXPECT_EQ(described, c.described);
  }
}

class Poller : public ::testing::Test {
 protected:
  test::TempHome home;
  test::FakePlatform fp;
  AppDelegate app{fp.platform};
  test::FakeCookieStore* store = nullptr;

  void SetUp() override {
    initGlobals();
    app.window = fp.ui.createMainWindow(app);
    app.web = &fp.ui.window->webView;
    store = &fp.ui.window->cookieStore;
  }
};

// From the first poll on, only a rise notifies, with the newly failing check last in the list.
TEST_F(Poller, BadgeFollowsEachUsableOverviewAndOnlyRisesNotify) {
  store->cookies.push_back(cookie("qmsuite", "s1", "127.0.0.1"));
  auto ok = [](const std::string& body) { return test::FakeHttp::status(200, body); };
  struct Step {
    HttpResponse answer;
    std::vector<Badge> badges;
    std::vector<std::string> notes;
    std::int64_t lastBad;
  } steps[] = {
      {ok(overviewOf({"bad", "ok", "bad", "bad"})), {3}, {}, 3},
      {ok(overviewOf({"ok", "bad", "bad", "bad", "bad"})), {4}, {"c1: d1"}, 4},
      {ok(overviewOf({"bad", "bad"})), {2}, {}, 2},
      {ok(overviewOf({"bad", "bad", "bad"})), {3}, {"c0: d0"}, 3},
      {ok(overviewOf({"ok", "bad", "bad", "bad"})), {3}, {}, 3},
      {test::FakeHttp::status(401, "{}"), {}, {}, 3},
      {test::FakeHttp::status(500, overviewOf({})), {}, {}, 3},
      {test::FakeHttp::failure(), {}, {}, 3},
      {test::FakeHttp::status(200), {}, {}, 3},
      {ok(R"({"checks":"many"})"), {}, {}, 3},
      {ok(nested(5000)), {}, {}, 3},
      {ok(overviewOf({"ok"})), {std::nullopt}, {}, 0},
      {ok(overviewOf({"Bad", " bad", "bad"})), {1}, {"c2: d2"}, 1},  // a rise from zero
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    auto& s = steps[i];
    fp.notifier.badges.clear();
    fp.notifier.posted.clear();
    app.poll();
    fp.loop.drain();
    EXPECT_TRUE(fp.http.respond("/api/overview", s.answer));
    fp.loop.drain();
    EXPECT_EQ(fp.notifier.badges, s.badges);
    std::vector<std::string> notes;
    for (auto& n : fp.notifier.posted) {
      EXPECT_EQ(n.title, "Quillmarsh security");
      notes.push_back(n.body);
    }
    EXPECT_EQ(notes, s.notes);
    EXPECT_EQ(app.lastBad, s.lastBad);
  }
}

TEST_F(Poller, SendsOnlyTheSuiteCookieOfTheServerInUse) {
  struct Case {
    std::vector<Cookie> cookies;
    std::optional<std::string> header;  // none: no request, badge removed
  } cases[] = {
      {{}, std::nullopt},
      {{cookie("qmsuite", "a", ".127.0.0.1")}, std::nullopt},
      {{cookie("qmsuite", "a", "127.0.0.2")}, std::nullopt},
      {{cookie("QMSUITE", "a", "127.0.0.1")}, std::nullopt},
      {{cookie("other", "x", "127.0.0.1"), cookie("qmsuite", "b", "127.0.0.2"),
        cookie("qmsuite", "a=b; c", "127.0.0.1"), cookie("qmsuite", "z", "127.0.0.1")},
       "qmsuite=a=b; c"},  // the first match wins
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    auto& c = cases[i];
    store->cookies = c.cookies;
    fp.http.sent.clear();
    fp.notifier.badges.clear();
    app.lastBad = 5;
    app.poll();
    fp.loop.drain();
    EXPECT_EQ(app.lastBad, 5);
    ASSERT_EQ(fp.http.sent.size(), c.header ? 1u : 0u);
    EXPECT_EQ(fp.notifier.badges,
              c.header ? std::vector<Badge>{} : std::vector<Badge>{std::nullopt});
    if (!c.header) continue;
    auto& r = fp.http.sent[0];
    EXPECT_EQ(r.url, "http://127.0.0.1:8795/api/overview");
    EXPECT_EQ(r.timeoutSeconds, 60);
    EXPECT_TRUE(r.wantBody);
    EXPECT_EQ(r.maxBodyBytes, overview::kMaxBytes);
    using Headers = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(r.headers, (Headers{{"Cookie", *c.header}}));
  }
}

TEST_F(Poller, CookieAndAddressBelongToTheSameServerWhenBaseChangesMidPoll) {
  store->cookies = {cookie("qmsuite", "one", "127.0.0.2"), cookie("qmsuite", "two", "127.0.0.3")};
  BASE = "http://127.0.0.2:8795";
  store->deferred = true;
  app.poll();
  BASE = "http://127.0.0.3:8795";
  store->flush();
  ASSERT_EQ(fp.http.sent.size(), 1u);
  EXPECT_EQ(fp.http.sent[0].url, "http://127.0.0.2:8795/api/overview");
  EXPECT_EQ(fp.http.sent[0].headers.at(0).second, "qmsuite=one");
}

TEST_F(Poller, EveryNotificationGetsAFreshIdentifier) {
  std::set<std::string> ids;
  for (int i = 0; i < 3; ++i) app.notify("t", "b");
  for (auto& n : fp.notifier.posted) {
    EXPECT_TRUE(g_uuid_string_is_valid(n.id.c_str())) << n.id;
    ids.insert(n.id);
  }
  EXPECT_EQ(ids.size(), 3u);
}

}  // namespace
}  // namespace qm

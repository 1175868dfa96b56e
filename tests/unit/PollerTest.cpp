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
  struct Case {
    std::string name;
    std::string body;
    std::optional<std::vector<std::string>> described;  // none: unusable
  } cases[] = {
      {"order kept", overviewOf({"ok", "bad", "warn", "bad"}), {{"c1: d1", "c3: d3"}}},
      {"no checks bad", overviewOf({"ok", "good"}), {{}}},
      {"empty list", R"({"checks":[]})", {{}}},
      {"not counted",
       R"({"checks":[{"status":"Bad"},{"status":" bad"},{"status":1},{"status":null},{}]})",
       {{}}},
      {"missing title",
       R"({"checks":[{"status":"bad","detail":"open port"}]})",
       {{"A check: open port"}}},
      {"title not a string",
       R"({"checks":[{"status":"bad","title":7,"detail":"x"}]})",
       {{"A check: x"}}},
      {"missing detail", R"({"checks":[{"status":"bad","title":"Firewall"}]})", {{"Firewall: "}}},
      {"detail not a string",
       R"({"checks":[{"status":"bad","title":"T","detail":[1]}]})",
       {{"T: "}}},
      {"markup kept as text",
       R"({"checks":[{"status":"bad","title":"<b>&","detail":"é"}]})",
       {{"<b>&: é"}}},
      {"checks a string", R"({"checks":"bad"})", std::nullopt},
      {"checks missing", R"({"check":[]})", std::nullopt},
      {"string among objects", R"({"checks":[{"status":"bad"},"bad"]})", std::nullopt},
      {"null among objects", R"({"checks":[{"status":"bad"},null]})", std::nullopt},
      {"top level array", R"([{"checks":[]}])", std::nullopt},
      {"not json", "<html>", std::nullopt},
      {"empty", "", std::nullopt},
      {"truncated", R"({"checks":[{"status":"bad"})", std::nullopt},
      {"deep", nested(100000), std::nullopt},
      {"huge", R"({"checks":[],"pad":")" + std::string(overview::kMaxBytes, 'x') + "\"}",
       std::nullopt},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto bad = overview::badChecks(c.body);
    ASSERT_EQ(bad.has_value(), c.described.has_value());
    if (!bad) continue;
    std::vector<std::string> described;
    for (auto& b : *bad) described.push_back(overview::describe(b));
    EXPECT_EQ(described, *c.described);
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
  void signIn(const std::string& value, const std::string& domain = "127.0.0.1") {
    store->cookies.push_back(cookie("qmsuite", value, domain));
  }
  // One poll answered with `answer`; the badge calls and notifications it caused.
  struct Outcome {
    std::vector<Badge> badges;
    std::vector<std::string> notes;
  };
  Outcome pollWith(const HttpResponse& answer) {
    size_t badges = fp.notifier.badges.size(), notes = fp.notifier.posted.size();
    app.poll();
    fp.loop.drain();
    EXPECT_TRUE(fp.http.respond("/api/overview", answer));
    fp.loop.drain();
    Outcome o;
    o.badges.assign(fp.notifier.badges.begin() + badges, fp.notifier.badges.end());
    for (size_t i = notes; i < fp.notifier.posted.size(); ++i) {
      EXPECT_EQ(fp.notifier.posted[i].title, "Quillmarsh security");
      o.notes.push_back(fp.notifier.posted[i].body);
    }
    return o;
  }
};

TEST_F(Poller, BadgeFollowsEachUsableOverviewAndOnlyRisesNotify) {
  signIn("s1");
  auto ok = [](const std::string& body) { return test::FakeHttp::status(200, body); };
  struct Step {
    std::string name;
    HttpResponse answer;
    std::vector<Badge> badges;
    std::vector<std::string> notes;
    std::int64_t lastBad;
  } steps[] = {
      {"first never notifies", ok(overviewOf({"bad", "ok", "bad", "bad"})), {3}, {}, 3},
      {"rise", ok(overviewOf({"ok", "bad", "bad", "bad", "bad"})), {4}, {"c1: d1"}, 4},
      {"fall", ok(overviewOf({"bad", "bad"})), {2}, {}, 2},
      {"rise after fall", ok(overviewOf({"bad", "bad", "bad"})), {3}, {"c0: d0"}, 3},
      {"same count", ok(overviewOf({"ok", "bad", "bad", "bad"})), {3}, {}, 3},
      {"401 keeps all", test::FakeHttp::status(401, "{}"), {}, {}, 3},
      {"500 keeps all", test::FakeHttp::status(500, overviewOf({})), {}, {}, 3},
      {"no answer", test::FakeHttp::failure(), {}, {}, 3},
      {"no body", test::FakeHttp::status(200), {}, {}, 3},
      {"checks a string", ok(R"({"checks":"many"})"), {}, {}, 3},
      {"deep body", ok(nested(5000)), {}, {}, 3},
      {"none bad removes badge", ok(overviewOf({"ok"})), {std::nullopt}, {}, 0},
      {"rise from zero", ok(overviewOf({"Bad", " bad", "bad"})), {1}, {"c2: d2"}, 1},
  };
  for (auto& s : steps) {
    SCOPED_TRACE(s.name);
    auto o = pollWith(s.answer);
    EXPECT_EQ(o.badges, s.badges);
    EXPECT_EQ(o.notes, s.notes);
    EXPECT_EQ(app.lastBad, s.lastBad);
  }
}

TEST_F(Poller, ZeroBaselineNotifiesOnTheFirstRise) {
  signIn("s1");
  EXPECT_TRUE(pollWith(test::FakeHttp::status(200, overviewOf({}))).notes.empty());
  EXPECT_EQ(app.lastBad, 0);
  EXPECT_EQ(pollWith(test::FakeHttp::status(200, overviewOf({"bad"}))).notes,
            std::vector<std::string>{"c0: d0"});
}

TEST_F(Poller, SendsOnlyTheSuiteCookieOfTheServerInUse) {
  struct Case {
    std::string name;
    std::vector<Cookie> cookies;
    std::optional<std::string> header;  // none: no request, badge removed
  } cases[] = {
      {"none", {}, std::nullopt},
      {"leading dot", {cookie("qmsuite", "a", ".127.0.0.1")}, std::nullopt},
      {"other host", {cookie("qmsuite", "a", "127.0.0.2")}, std::nullopt},
      {"name case", {cookie("QMSUITE", "a", "127.0.0.1")}, std::nullopt},
      {"first match wins",
       {cookie("other", "x", "127.0.0.1"), cookie("qmsuite", "b", "127.0.0.2"),
        cookie("qmsuite", "a=b; c", "127.0.0.1"), cookie("qmsuite", "z", "127.0.0.1")},
       "qmsuite=a=b; c"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    store->cookies = c.cookies;
    fp.http.sent.clear();
    fp.http.pending.clear();
    fp.notifier.badges.clear();
    app.lastBad = 5;
    app.poll();
    fp.loop.drain();
    if (!c.header) {
      EXPECT_TRUE(fp.http.sent.empty());
      EXPECT_EQ(fp.notifier.badges, std::vector<Badge>{std::nullopt});
      EXPECT_EQ(app.lastBad, 5);
      continue;
    }
    ASSERT_EQ(fp.http.sent.size(), 1u);
    auto& r = fp.http.sent[0];
    EXPECT_EQ(r.url, "http://127.0.0.1:8795/api/overview");
    EXPECT_EQ(r.timeoutSeconds, 60);
    EXPECT_TRUE(r.wantBody);
    EXPECT_EQ(r.maxBodyBytes, overview::kMaxBytes);
    using Headers = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(r.headers, (Headers{{"Cookie", *c.header}}));
    EXPECT_TRUE(fp.notifier.badges.empty());
  }
}

TEST_F(Poller, CookieAndAddressBelongToTheSameServerWhenBaseChangesMidPoll) {
  signIn("one", "127.0.0.2");
  signIn("two", "127.0.0.3");
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

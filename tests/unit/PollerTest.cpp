#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

using namespace qm;

// An overview with one check per letter: 'b' a bad one titled cN with detail dN, else an ok one.
static HttpResponse overviewOf(const std::string& statuses, int status = 200) {
  std::string checks;
  for (std::size_t i = 0; i < statuses.size(); ++i)
    checks += std::string(i ? "," : "") + "{\"status\":\"" + (statuses[i] == 'b' ? "bad" : "ok") +
              "\",\"title\":\"c" + std::to_string(i) + "\",\"detail\":\"d" + std::to_string(i) +
              "\"}";
  return test::FakeHttp::status(status, R"({"checks":[)" + checks + "]}");
}

// Each badge shown, then each notification posted.
static std::string shown(const test::FakeNotifier& n) {
  std::string got;
  for (auto& b : n.badges) got += (b ? std::to_string(*b) : "none") + "; ";
  for (auto& p : n.posted) got += p.first + "|" + p.second + "; ";
  return got;
}

TEST(StatusPoller, EveryMinuteBadgesTheBadChecksAndARiseNotifiesTheFirst) {
  test::TempHome home;
  test::FakePlatform fp;
  AppDelegate app{fp.platform};
  app.applicationDidFinishLaunching();
  auto& cookies = fp.cookies.cookies;
  // Only another server's sign-in: the badge goes and nothing is asked.
  cookies = {test::suiteCookie("a", "127.0.0.1")};
  app.use("Mac.Local");
  EXPECT_EQ(shown(fp.notifier), "none; ");
  cookies.push_back(test::suiteCookie("c=d", "mac.local"));
  std::pair<HttpResponse, std::string> steps[] = {
      {overviewOf("bobb"), "3; "},  // the first overview never notifies
      {overviewOf("obbbb"), "4; Quillmarsh security|c1: d1; "},
      {overviewOf("bbbbb", 401), ""},
      {test::FakeHttp::status(200), ""},
      {test::FakeHttp::status(200, R"({"checks":7})"), ""},
      {overviewOf("bbbb"), "4; "},
      {overviewOf("o"), "none; "},
      {overviewOf("ob"), "1; Quillmarsh security|c1: d1; "},
  };
  for (auto& [answer, seen] : steps) {
    SCOPED_TRACE(answer.body.value_or("") + " " + seen);
    fp.notifier = {};
    fp.loop.advance(60);
    ASSERT_TRUE(fp.http.respond("/api/overview", answer));
    fp.loop.drain();  // the overview is read off the main thread
    EXPECT_EQ(shown(fp.notifier), seen);
  }
  auto& q = fp.http.sent.back();
  EXPECT_EQ(std::tuple(q.url, q.headers, q.timeoutSeconds, q.maxBodyBytes),
            std::tuple("http://Mac.Local:8795/api/overview",
                       decltype(q.headers){{"Cookie", "qmsuite=c=d"}}, 60, 1 << 20));
}

TEST(StatusPoller, OnlyTheNewestAnswerForTheServerInUseIsApplied) {
  // The servers polled in turn ('a' or 'b', each put in use first unless already), the order in
  // which their answers come back (poll i answers with i + 1 bad checks), and what is shown.
  struct Row {
    std::string servers;
    std::vector<int> answers;
    std::string badges;
  };
  const Row rows[] = {{"aa", {0, 1}, "1; 2; Quillmarsh security|c0: d0; "},
                      {"aa", {1, 0}, "2; "},  // an earlier poll that answers late
                      {"ab", {0, 1}, "2; "},  // the server switched away from
                      {"ab", {1, 0}, "2; "}};
  for (auto& [servers, answers, badges] : rows) {
    SCOPED_TRACE(servers + badges);
    test::TempHome home;
    test::FakePlatform fp;
    AppDelegate app{fp.platform};
    app.applicationDidFinishLaunching();
    fp.cookies.cookies = {test::suiteCookie("x", "a.local"), test::suiteCookie("y", "b.local")};
    for (std::size_t i = 0; i < servers.size(); ++i)
      i&& servers[i] == servers[i - 1] ? app.poll() : app.use(servers[i] + std::string(".local"));
    std::vector<test::FakeHttp::Pending> polls;
    for (auto& p : std::exchange(fp.http.pending, {}))
      if (p.request.url.ends_with("/api/overview")) polls.push_back(std::move(p));
    ASSERT_EQ(polls.size(), servers.size());
    for (int i : answers) polls.at(i).done(overviewOf(std::string(i + 1, 'b')));
    fp.loop.drain();
    EXPECT_EQ(shown(fp.notifier), badges);
  }
}

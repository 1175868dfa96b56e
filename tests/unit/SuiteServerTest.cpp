#include "server/SuiteServer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>

#include "app/Files.h"
#include "fakes/Fakes.h"
#include "fakes/LoopbackServer.h"
#include "fakes/TempHome.h"
#include "platform/soup/SoupHttp.h"

namespace qm {
namespace {

using test::FakeBundle;
using test::FakeHttp;
using test::TempHome;
using Host = std::optional<std::string>;

void remember(const std::string& content) {
  files::makeDirs(files::parent(SuiteServer::file()));
  std::ofstream(SuiteServer::file(), std::ios::binary) << content;
}

TEST(SuiteServerClean, NormalisesTypedHosts) {
  struct Case {
    std::string in;
    Host out;
  } cases[] = {
      {"  HTTPS://10.0.0.5:8795/app  ", "10.0.0.5"},
      {"http://10.0.0.5:8795", "10.0.0.5"},
      {"//10.0.0.5/x", "10.0.0.5"},
      {"Quill-Mac.LOCAL", "quill-mac.local"},
      {"\xC2\xA0mac.local\xE2\x80\x83\n", "mac.local"},  // pasted with Unicode spaces
      {"https://http://x", "x"},
      {"HTTP://HTTPS://x", "https"},  // each prefix is removed once, https first
      {"host:", "host"},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {":8795", std::nullopt},
      {"my mac", std::nullopt},
      {"my_mac", std::nullopt},
      {"[fe80::1]:8795", std::nullopt},
      {"a:b:c", std::nullopt},
      {"mac\n/x", std::nullopt},  // a line end must not survive into the host
      {"caf\xC3\xA9.local", std::nullopt},
      {"user@mac.local", std::nullopt},
  };
  for (auto& c : cases) EXPECT_EQ(SuiteServer::clean(c.in), c.out) << "input: " << c.in;
}

TEST(SuiteServerFile, SaveWritesExactlyAndSavedTrimsTreatingBlankOrBrokenAsNone) {
  TempHome home;
  EXPECT_EQ(SuiteServer::file(),
            home.path() + "/Library/Application Support/Quillmarsh/server-host");
  EXPECT_EQ(SuiteServer::saved(), std::nullopt);  // missing
  SuiteServer::save(std::nullopt);                // nothing to delete: no harm
  SuiteServer::save("first.local");
  SuiteServer::save("10.0.0.5");
  EXPECT_EQ(files::read(SuiteServer::file()), "10.0.0.5");
  struct stat st {};
  ASSERT_EQ(stat(files::parent(SuiteServer::file()).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  struct Case {
    std::string content;
    Host out;
  } cases[] = {
      {"  10.0.0.5\n", "10.0.0.5"}, {" \n\t\r\n", std::nullopt}, {"", std::nullopt},
      {"mac.local", "mac.local"},   {"\xFF\xFE", std::nullopt},  // not UTF-8
  };
  for (auto& c : cases) {
    remember(c.content);
    EXPECT_EQ(SuiteServer::saved(), c.out) << c.content;
  }
  SuiteServer::save(std::nullopt);
  EXPECT_FALSE(files::exists(SuiteServer::file()));
  EXPECT_EQ(SuiteServer::saved(), std::nullopt);
}

TEST(SuiteServerBuiltIn, SplitsTrimsAndKeepsOrder) {
  struct Case {
    std::optional<std::string> value;
    std::vector<std::string> out;
  } cases[] = {
      {" 10.0.0.5 , , 10.0.0.6,,", {"10.0.0.5", "10.0.0.6"}},
      {std::nullopt, {}},
      {"", {}},
      {",,,", {}},
      {"\tb.local\t,a.local", {"b.local", "a.local"}},
      {"x\n", {"x\n"}},  // only spaces and tabs are trimmed here
  };
  for (auto& c : cases) {
    FakeBundle bundle;
    if (c.value) bundle.info["QMHosts"] = *c.value;
    EXPECT_EQ(SuiteServer::builtIn(bundle), c.out) << c.value.value_or("(absent)");
  }
}

TEST(SuiteServerCandidates, LocalFirstThenRememberedThenBuiltInOnce) {
  TempHome home;
  FakeBundle bundle;
  bundle.info["QMHosts"] = "10.0.0.5,10.0.0.6,127.0.0.1";
  EXPECT_EQ(SuiteServer::candidates(bundle),
            (std::vector<std::string>{"127.0.0.1", "10.0.0.5", "10.0.0.6"}));
  SuiteServer::save("10.0.0.6");
  EXPECT_EQ(SuiteServer::candidates(bundle),
            (std::vector<std::string>{"127.0.0.1", "10.0.0.6", "10.0.0.5"}));
  EXPECT_EQ(SuiteServer::base("10.0.0.6", 8795), "http://10.0.0.6:8795");
}

const std::string kPageHead =
    "<body style=\"font:15px -apple-system,'IBM Plex Sans',sans-serif;background:#F4F4F4;"
    "color:#161616;display:flex;align-items:center;justify-content:center;height:92vh;margin:0\">\n"
    "<div style=\"background:#fff;padding:32px;width:440px;display:flex;flex-direction:column;"
    "gap:12px\">\n"
    "<b style=\"font-size:18px\">Connect Quillmarsh Quarn to the Quillmarsh Mac</b>\n"
    "<span style=\"color:#525252;line-height:1.5\">";
std::string pageTail(const std::string& value) {
  return "</span>\n<input id=\"a\" placeholder=\"quillmarsh-mac.local\" value=\"" + value +
         "\" style=\"font:inherit;height:40px;border:0;border-bottom:1px solid #8D8D8D;"
         "background:#F4F4F4;padding:0 12px\">\n"
         "<div style=\"display:flex;gap:8px\"><button onclick=\"window.webkit.messageHandlers."
         "qmserver.postMessage(document.getElementById('a').value)\" style=\"font:inherit;"
         "height:40px;padding:0 18px;border:0;background:#0F62FE;color:#fff;cursor:pointer\">"
         "Connect</button>\n"
         "<button onclick=\"window.webkit.messageHandlers.qmserver.postMessage('')\" "
         "style=\"font:inherit;height:40px;padding:0 14px;border:0;background:transparent;"
         "color:#0F62FE;cursor:pointer\">Try again</button></div>\n"
         "</div></body>";
}
std::string defaultMessage(const std::string& tried) {
  return "Couldn't find the Quillmarsh Mac automatically (tried " + tried +
         "). Make sure it's awake, then enter its name or address. On the same Wi-Fi that's its "
         "name ending in .local; anywhere else, its Tailscale address.";
}

TEST(SuiteServerAskPage, MatchesTheConnectPageByteForByte) {
  TempHome home;
  FakeBundle bundle;
  EXPECT_EQ(SuiteServer::askPage(bundle, "Quillmarsh Quarn"),
            kPageHead + defaultMessage("this Mac") + pageTail(""));

  SuiteServer::save("10.0.0.5");
  bundle.info["QMHosts"] = "10.0.0.5";
  EXPECT_EQ(SuiteServer::askPage(bundle, "Quillmarsh Quarn"),
            kPageHead + defaultMessage("this Mac, 10.0.0.5, 10.0.0.5") + pageTail("10.0.0.5"));
  EXPECT_EQ(SuiteServer::askPage(bundle, "Quillmarsh Quarn", "Nope, it's gone."),
            kPageHead + "Nope, it's gone." + pageTail("10.0.0.5"));
}

TEST(SuiteServerAskPage, EscapesInsertedValues) {
  TempHome home;
  FakeBundle bundle;
  bundle.info["QMHosts"] = "<i>b</i>";
  remember("x\"><script>alert(1)</script>");
  std::string page = SuiteServer::askPage(bundle, "A & B");
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_NE(page.find("value=\"x&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""),
            std::string::npos);
  EXPECT_NE(page.find("(tried this Mac, x&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;, "
                      "&lt;i&gt;b&lt;/i&gt;)"),
            std::string::npos);
  EXPECT_NE(page.find(">Connect A &amp; B to"), std::string::npos);
  EXPECT_NE(
      SuiteServer::askPage(bundle, "Q", "<b>1 & 2</b>").find(">&lt;b&gt;1 &amp; 2&lt;/b&gt;<"),
      std::string::npos);
}

// --- resolve against the fake

struct Outcome {
  int calls = 0;
  Host host;
};
std::function<void(Host)> into(Outcome& o) {
  return [&o](Host h) {
    ++o.calls;
    o.host = std::move(h);
  };
}

// Remembers `remembered`, builds in `builtIn`, and starts resolving on `port`.
struct FakeResolve {
  TempHome home;
  FakeBundle bundle;
  FakeHttp http;
  Outcome out;
  FakeResolve(const char* remembered, const char* builtIn, int port = 8795) {
    if (remembered) remember(remembered);
    if (builtIn) bundle.info["QMHosts"] = builtIn;
    SuiteServer::resolve(http, bundle, port, "/static/icon.png", into(out));
  }
};

TEST(SuiteServerResolve, ProbesEveryCandidateOnceWithItsTimeout) {
  FakeResolve r("mac.local", "10.0.0.5,mac.local");
  EXPECT_EQ(r.out.calls, 0);
  ASSERT_EQ(r.http.sent.size(), 3u);
  const char* hosts[] = {"127.0.0.1", "mac.local", "10.0.0.5"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.http.sent[i].url, "http://" + std::string(hosts[i]) + ":8795/static/icon.png");
    EXPECT_EQ(r.http.sent[i].timeoutSeconds, i == 0 ? 1 : 3);
    EXPECT_TRUE(r.http.sent[i].headers.empty());
    EXPECT_FALSE(r.http.sent[i].wantBody);
  }
}

TEST(SuiteServerResolve, ReportsTheBestHostAsSoonAsItIsCertain) {
  // Candidates: 127.0.0.1, r.local (remembered), b1.local, b2.local (built in).
  struct Answer {
    const char* host;
    int status;  // 0: no response
  };
  struct Case {
    const char* name;
    std::vector<Answer> answers;
    Host chosen;  // decided by the last answer listed
  } cases[] = {
      {"local answers first", {{"127.0.0.1", 404}}, "127.0.0.1"},
      {"local beats an earlier remote",
       {{"b1", 200}, {"r.local", 200}, {"127.0.0.1", 200}},
       "127.0.0.1"},
      {"remembered after local fails", {{"r.local", 200}, {"127.0.0.1", 0}}, "r.local"},
      {"503 does not count",
       {{"127.0.0.1", 503}, {"r.local", 500}, {"b2", 200}, {"b1", 0}},
       "b2.local"},
      {"ranked, not first to answer",
       {{"b2", 200}, {"b1", 200}, {"127.0.0.1", 0}, {"r.local", 0}},
       "b1.local"},
      {"nothing answers", {{"b2", 0}, {"127.0.0.1", 0}, {"b1", 503}, {"r.local", 0}}, std::nullopt},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeResolve r("r.local", "b1.local,b2.local");
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
      EXPECT_EQ(r.out.calls, 0) << "decided before answer " << i;
      auto& a = c.answers[i];
      ASSERT_TRUE(r.http.respond(std::string("//") + a.host,
                                 a.status ? FakeHttp::status(a.status) : FakeHttp::failure()));
    }
    EXPECT_EQ(r.out.calls, 1);
    EXPECT_EQ(r.out.host, c.chosen);
    // The probes still running are cancelled, so nothing can report twice.
    EXPECT_EQ(r.http.cancelled.size(), 4 - c.answers.size());
    EXPECT_TRUE(r.http.pending.empty());
  }
}

TEST(SuiteServerResolve, HostileHostsAreNeverSentAndCountAsNotAnswered) {
  const char* hostile[] = {"evil@127.0.0.2", "a b", "x/y", "x:1", "%41", "[::1]", "x?y", "x#y"};
  for (const char* h : hostile) {
    SCOPED_TRACE(h);
    FakeResolve r(h, "good.local");
    ASSERT_EQ(r.http.sent.size(), 2u);
    EXPECT_EQ(r.http.sent[1].url, "http://good.local:8795/static/icon.png");
    r.http.respond("good.local", FakeHttp::status(200));
    EXPECT_EQ(r.out.calls, 0);
    r.http.respond("127.0.0.1", FakeHttp::failure());
    EXPECT_EQ(r.out.calls, 1);
    EXPECT_EQ(r.out.host, "good.local");
  }
}

TEST(SuiteServerResolve, UnusablePortStillCompletesOnceAndSendsNothing) {
  FakeResolve r(nullptr, nullptr, 70000);
  EXPECT_EQ(r.out.calls, 0);
  ASSERT_EQ(r.http.sent.size(), 1u);
  EXPECT_EQ(r.http.sent[0].url, "");
  r.http.respond("", FakeHttp::failure());
  EXPECT_EQ(r.out.calls, 1);
  EXPECT_EQ(r.out.host, std::nullopt);
}

// --- resolve against real servers on 127.0.0.1-3, all on one free port

// Records what reached the completions, so a test can tell which probes were still running.
class RecordingHttp : public Http {
 public:
  SoupHttp real;
  std::vector<std::string> completed;  // URLs, in completion order
  std::vector<std::string> cancelledUrls;
  std::map<HttpId, std::string> urls;

  HttpId get(const HttpRequest& r, std::function<void(HttpResponse)> done) override {
    HttpId id = real.get(r, [this, url = r.url, done = std::move(done)](HttpResponse resp) {
      completed.push_back(url);
      done(std::move(resp));
    });
    urls[id] = r.url;
    return id;
  }
  void cancel(HttpId id) override {
    cancelledUrls.push_back(urls[id]);
    real.cancel(id);
  }
  bool didComplete(const std::string& host) const {
    for (auto& u : completed)
      if (u.find("//" + host + ":") != std::string::npos) return true;
    return false;
  }
};

// Remote candidates 127.0.0.2 (remembered) and 127.0.0.3 (built in), all on one free port.
struct RealResolve {
  TempHome home;
  std::unique_ptr<test::LoopbackServer> local, two, three;
  int port = 0;
  FakeBundle bundle;
  RecordingHttp http;
  Outcome out;
  RealResolve() {
    for (int attempt = 0; attempt < 20 && !three; ++attempt) {
      try {
        local = std::make_unique<test::LoopbackServer>("127.0.0.1");
        port = local->port();
        two = std::make_unique<test::LoopbackServer>("127.0.0.2", port);
        three = std::make_unique<test::LoopbackServer>("127.0.0.3", port);
      } catch (const std::exception&) {
        local.reset(), two.reset(), three.reset();
      }
    }
    if (!three) throw std::runtime_error("no free port on 127.0.0.1-3");
    bundle.info["QMHosts"] = "127.0.0.3";
    SuiteServer::save("127.0.0.2");
  }
  void run(std::function<void(Host)> done = nullptr) {
    SuiteServer::resolve(http, bundle, port, "/static/icon.png", done ? done : into(out));
    ASSERT_TRUE(test::spinUntil([&] { return out.calls > 0; }));
  }
  void expectNoSecondReport() {
    test::spinUntil([] { return false; }, 0.3);
    EXPECT_EQ(out.calls, 1);
  }
};

test::LoopbackServer::Handler answer(int status, double delay = 0) {
  return [status, delay](const std::string&) {
    test::LoopbackServer::Reply r;
    r.status = status;
    r.delaySeconds = delay;
    return r;
  };
}

TEST(SuiteServerResolveReal, LocalAnswerEndsTheCallWithoutWaitingForASlowRemote) {
  RealResolve s;
  s.local->handle(answer(404));
  s.two->handle(answer(200, 60));  // would answer long after its time-out
  s.three.reset();                 // refuses
  bool slowDoneAtDecision = true;
  s.run([&](Host h) {
    slowDoneAtDecision = s.http.didComplete("127.0.0.2");
    into(s.out)(std::move(h));
  });
  EXPECT_EQ(s.out.host, "127.0.0.1");
  EXPECT_FALSE(slowDoneAtDecision);
  auto& cancelled = s.http.cancelledUrls;
  EXPECT_NE(std::find(cancelled.begin(), cancelled.end(),
                      SuiteServer::base("127.0.0.2", s.port) + "/static/icon.png"),
            cancelled.end());
  ASSERT_EQ(s.local->seen().size(), 1u);
  EXPECT_EQ(s.local->seen()[0].path, "/static/icon.png");
  EXPECT_EQ(s.local->seen()[0].cookie, "");
}

TEST(SuiteServerResolveReal, HigherRankedSlowAnswerBeatsAFastLowerRankedOne) {
  RealResolve s;
  s.local->handle(answer(503));
  s.two->handle(answer(200, 0.5));
  s.three->handle(answer(200));
  s.run();
  EXPECT_EQ(s.out.host, "127.0.0.2");
  EXPECT_TRUE(s.http.didComplete("127.0.0.3"));
  s.expectNoSecondReport();
}

TEST(SuiteServerResolveReal, NothingAnsweringGivesNoneOnceAfterTheTimeOut) {
  RealResolve s;
  s.local->handle(answer(500));
  s.two.reset();                     // refuses
  s.three->handle(answer(200, 60));  // never in time
  s.bundle.info["QMHosts"] = "127.0.0.3, not a host";
  s.run();
  EXPECT_EQ(s.out.host, std::nullopt);
  EXPECT_EQ(s.http.completed.size(), 3u);  // the hostile entry was never sent
  EXPECT_EQ(s.three->seen().size(), 1u);
  s.expectNoSecondReport();
}

}  // namespace
}  // namespace qm

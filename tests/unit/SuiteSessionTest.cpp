#include "session/SuiteSession.h"

#include <gtest/gtest.h>

#include "session/EarlySignIn.h"

#include <filesystem>
#include <tuple>

#include "core/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "session/SharedFile.h"

using namespace qm;

namespace {

struct SuiteSessionTest : testing::Test {
  test::TempHome home;
  test::FakeLoop loop;
  test::FakeClock clock;
  test::FakeCookieStore store;
  std::unique_ptr<SuiteSession> session = std::make_unique<SuiteSession>(store, loop, clock);
  std::string file = home.path() + "/Library/Application Support/Quillmarsh/suite-session";

  Cookie suite(std::string v, std::string h = kLocalHost) { return {"qmsuite", v, h, "/", {}}; }
  void share(std::string t) { test::writeFile(file, t); }
  // The store changed; the mirror reads it once the burst is over.
  void changed() { store.changed(), loop.advance(1); }
  // The engine changes its cookies (a Set-Cookie, a sign-out).
  void engineSets(std::vector<Cookie> c) { store.cookies = std::move(c), changed(); }
};

TEST_F(SuiteSessionTest, AdoptPlantsTheSharedValueForTheHostOnly) {
  using V = std::optional<std::string>;
  const std::string big(4089, 'a');  // with the name, the most a cookie may hold
  for (auto [text, cookies, planted, refuse] :
       std::vector<std::tuple<V, std::vector<Cookie>, V, bool>>{
           {"a b\n", {}, "a b", false},
           {std::nullopt, {suite("x")}, std::nullopt, false},
           {"same", {suite("same")}, std::nullopt, false},
           {"t", {suite("t", "127.0.0.2"), suite("t", ".127.0.0.1")}, "t", false},
           {"a;b", {}, std::nullopt, false},
           {"a\x1f", {}, std::nullopt, false},
           {"a\x7f", {}, std::nullopt, false},
           {big, {}, big, false},
           {big + "a", {}, std::nullopt, false},
           {"t", {}, "t", true},
           {"t", {suite("old")}, "t", true}}) {
    SCOPED_TRACE(text.value_or("(none)").substr(0, 9));
    // The old one goes first: its destructor clears the store's observer.
    session = nullptr, session = std::make_unique<SuiteSession>(store, loop, clock);
    text ? share(*text) : void(std::filesystem::remove(file));
    store.cookies = cookies, store.setCalls.clear(), store.refuse = refuse;
    std::optional<bool> result;
    session->adopt([&](bool replaced) { result = replaced; });
    EXPECT_EQ(result, planted && !refuse);
    EXPECT_EQ(store.setCalls.empty() ? V() : store.setCalls.at(0).value, planted);
    EXPECT_EQ(files::read(file), text);  // the plant is not echoed back
    changed();                           // nor taken for news when it did not happen
    EXPECT_EQ(files::read(file), text);
    engineSets({suite("z")});  // ready whatever adopt found
    EXPECT_EQ(files::read(file), "z");
  }
  const Cookie& c = store.setCalls.at(0);
  EXPECT_EQ(
      std::tie(c.name, c.domain, c.path, c.expires, c.httpOnly, c.secure, c.sameSite),
      std::tuple("qmsuite", "127.0.0.1", "/", clock.t + 2592000, true, false, SameSite::Strict));
}

TEST_F(SuiteSessionTest, StoreChangesAreSharedOnceReadyNeverFromAStaleAnswerNorAfterTheEnd) {
  engineSets({suite("early")});  // before the first adopt
  session->adopt([](bool) {});
  engineSets({suite("early")});
  EXPECT_FALSE(files::exists(file));
  store.reads = 0, store.cookies = {suite("in")};  // a page sets many cookies at once
  for (int i = 0; i < 1000; ++i) store.changed();
  loop.advance(SuiteSession::changeDelay);
  EXPECT_EQ(std::tuple(store.reads, files::read(file)), std::tuple(1, "in"));
  // Not on disk (a file stands where the folder goes) is not shared yet, nor undone meanwhile.
  std::filesystem::remove_all(files::parent(file)), test::writeFile(files::parent(file), "");
  engineSets({suite("x")}), engineSets({suite("again")}), session->adopt([](bool) {});
  EXPECT_EQ(std::tuple(SuiteSession::current(store.cookies, kLocalHost), files::exists(file)),
            std::tuple("again", false));
  std::filesystem::remove(files::parent(file)), loop.advance(SharedFile::retrySeconds);
  EXPECT_EQ(std::tuple(files::read(file), loop.timers.size()), std::tuple("again", 0u));
  EXPECT_EQ(int(std::filesystem::status(file).permissions()), 0600);
  EXPECT_EQ(int(std::filesystem::status(files::parent(file)).permissions()), 0700);
  // Signed out here while the file cannot go (a folder stands in its place), then a sibling
  // signs in: its sign-in counts, and is not removed by a later try.
  std::filesystem::remove(file), std::filesystem::create_directories(file + "/x");
  engineSets({suite("in", "127.0.0.2")});
  std::filesystem::remove_all(file), share("new"), loop.advance(SharedFile::retrySeconds);
  engineSets({suite("in", "127.0.0.2")});  // nothing new here
  store.deferred = true;
  session->adopt([](bool) {});
  changed();
  store.queued[0]();  // plants "new"
  store.queued[1]();  // asked before the plant, answered without it
  EXPECT_EQ(files::read(file), "new");
  // A host switch while the store answers: no answer is taken for the new host's.
  store.queued.clear();
  changed();
  session->adopt([](bool) {});
  session->setHost("127.0.0.2");
  changed();  // the new host's sign-in is not known yet
  store.flush();
  store.deferred = false, changed(), store.deferred = true;
  EXPECT_EQ(files::read(file), "new");
  session->adopt([](bool) { ADD_FAILURE() << "completed after the session ended"; });
  session.reset();  // what is still queued touches nothing
  store.flush();
}

// A sign-in planted before the window spares the first adoption for its host and value the
// store's round trips, even before the store has answered; any other adoption asks the store.
TEST_F(SuiteSessionTest, AnEarlyPlantIsTakenOnceForItsHostAndValue) {
  // Host adopted for, shared value by then, plant answered before the adoption, plant refused;
  // done at once, store asked once the plant's answer is in.
  std::tuple<std::string, std::string, bool, bool, bool, bool> rows[] = {
      {kLocalHost, "tok", true, false, true, false},
      {kLocalHost, "tok", false, false, true, false},
      {kLocalHost, "tok", false, true, true, true},   // a late refusal: the mirror starts over
      {kLocalHost, "new", true, false, false, true},  // a sibling signed in meanwhile
      {"127.0.0.2", "tok", true, false, false, true},
      {kLocalHost, "tok", true, true, false, true},
  };
  for (auto& [host, value, answered, refused, atOnce, asked] : rows) {
    SCOPED_TRACE(host + " " + value + " " + std::to_string(answered) + std::to_string(refused));
    share("tok");
    test::FakeCookieStore early;
    early.deferred = !answered, early.refuse = refused;
    EarlySignIn plants(early, clock, {kLocalHost, "mac.local"});
    ASSERT_EQ(early.setCalls.size(), 2u);
    EXPECT_EQ(std::tie(early.setCalls[1].domain, early.setCalls[1].expires),
              std::tuple("mac.local", std::optional<double>()));  // kept in memory only
    session = nullptr, session = std::make_unique<SuiteSession>(store, loop, clock, &plants);
    store.cookies.clear(), store.queued.clear(), store.deferred = true;
    share(value), session->setHost(host);
    bool done = false;
    session->adopt([&](bool) { done = true; });
    EXPECT_EQ(done, atOnce);
    early.flush();
    EXPECT_EQ(!store.queued.empty(), asked);
    if (asked) continue;
    // Ready: the store's changes are shared; the next adoption asks the store.
    store.deferred = false;
    engineSets({suite("z", host)});
    EXPECT_EQ(files::read(file), "z");
    store.deferred = true;
    session->adopt([](bool) {});
    EXPECT_EQ(store.queued.size(), 1u);
  }
}

// However the sign-in ends, no cookie of it stays, whichever host it was planted for; a server's
// own sign-in of another value stays. The chosen host is an IPv6 one, whose cookies the engine
// keeps under the address without brackets.
TEST_F(SuiteSessionTest, ASignInThatEndsLeavesNoCookieOfItForAnyHost) {
  for (bool here : {true, false}) {
    share("tok");
    store.cookies = {suite("tok", "127.0.0.3"), suite("own", "127.0.0.4")};
    EarlySignIn plants(store, clock, {kLocalHost, "[fd7a::1]"});
    session = nullptr, session = std::make_unique<SuiteSession>(store, loop, clock, &plants);
    session->setHost("[fd7a::1]"), session->adopt([](bool) {}), loop.advance(1);
    EXPECT_EQ(std::tuple(store.cookies.size(), SuiteSession::current(store.cookies, "[fd7a::1]"),
                         store.cookies[2].expires),
              std::tuple(3u, "tok", clock.t + 2592000));  // the other plant is gone
    here ? engineSets({store.cookies[0], store.cookies[1]})
         : (std::filesystem::remove(file), session->adopt([](bool) {}), loop.advance(1));
    EXPECT_EQ(std::tuple(store.cookies.size(), store.cookies[0].value, files::exists(file)),
              std::tuple(1u, "own", false))
        << here;
  }
  // A move to a host whose plant was withdrawn plants the sign-in there anew.
  share("tok");
  EarlySignIn plants(store, clock, {kLocalHost, "mac.local"});
  session = nullptr, session = std::make_unique<SuiteSession>(store, loop, clock, &plants);
  session->adopt([](bool) {}), loop.advance(1);
  session->setHost("mac.local"), session->adopt([](bool) {}), loop.advance(1);
  EXPECT_EQ(SuiteSession::current(store.cookies, "mac.local"), "tok");
  // A sign-in made here that another app ends goes from every host too.
  engineSets({suite("mine", "mac.local"), suite("mine", "127.0.0.3"), suite("own", "127.0.0.4")});
  std::filesystem::remove(file), session->adopt([](bool) {}), loop.advance(1);
  EXPECT_EQ(std::tuple(store.cookies.size(), store.cookies[0].value), std::tuple(1u, "own"));
}

}  // namespace

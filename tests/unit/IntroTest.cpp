#include <gtest/gtest.h>

#include <regex>
#include <tuple>

#include "core/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "intro/IntroOverlay.h"
#include "web/WebContent.h"
#include "window/MainWindowController.h"

using namespace qm;

namespace {

struct Intro {
  test::TempHome home;
  test::FakePlatform f;
  ServerInUse server;
  WebContent content{f.desktop, f.ui, f.notifier, f.loop, server};
  MainWindowController window{f.ui, f.cookies, f.loop, f.clock, server};
  IntroOverlay overlay;

  explicit Intro(const std::string& arg = "q")
      : overlay(window, f.ui, f.loop, f.clock, f.settings, f.bundle, f.sound,
                arg == "--qm-ensemble") {
    f.bundle.resources = {{"intro.html", "/b/intro.html"},
                          {"intro-sound.m4a", "/b/intro-sound.m4a"}};
    window.build({content, content, {}, {}, {}});
    overlay.startIntro();
  }
  test::FakeIntroView& view(std::size_t n) { return *f.ui.window->intros.at(n); }
  // The sound log less each line's stamp and bundle id, which the fakes fix.
  std::string log() {
    auto s = files::read(home.path() + "/Library/Logs/Quillmarsh/intro-sound.log").value_or("");
    return std::regex_replace(
        s, std::regex("2023-11-14 22:13:2. \\+0000 app\\.quillmarsh\\.quarn "), "");
  }
};

TEST(IntroOverlay, ReadyOnceTheUiLoadsThenFadeRemovalAndTheGuardOnWhateverShows) {
  Intro t;
  t.overlay.onIntroLoadFinished(t.view(0));
  t.overlay.uiLoading();
  t.overlay.onIntroLoadFinished(t.view(0));  // a reload of the page, now ready
  EXPECT_EQ(t.view(0).scripts, std::vector<std::string>(2, "window.qmReady && qmReady()"));
  t.f.loop.advance(5);
  t.overlay.endIntro();
  t.overlay.onIntroLoadFinished(t.view(0));  // a fading page is left alone
  EXPECT_EQ(t.view(0).scripts.size(), 2u);
  EXPECT_EQ(std::pair(t.view(0).fades.at(0).first, t.view(0).removed), std::pair(0.45, false));
  t.overlay.replayIntro();
  t.overlay.replayIntro();  // never while one shows
  EXPECT_EQ(t.f.ui.window->presented, 1);
  t.view(0).fades[0].second();
  EXPECT_TRUE(t.view(0).removed && !t.view(1).removed);
  t.f.loop.advance(19.9);
  EXPECT_TRUE(t.view(1).fades.empty());
  t.f.loop.advance(0.2);  // the launch's guard, 25 s in
  EXPECT_EQ(t.view(1).fades.size(), 1u);
}

TEST(IntroSound, StartPlaysAndEachDecisionIsLogged) {
  const std::string ens = "--qm-ensemble", quiet = "quiet (opened by Open All)\n",
                    off = "off in the app menu\n", none = "no intro-sound.m4a in the app\n",
                    ok = "play intro-sound.m4a: playing\n", bad = "play intro-sound.m4a: FAILED\n";
  // fault: '-' switched off, 'r' no sound file, 'o' it cannot be opened, 'p' nor played; the
  // player reports only after the second start: 'l' playing, 'e' an error
  using Row = std::tuple<std::string, char, std::string>;
  const Row rows[] = {{"q", ' ', ok + ok},     {ens, ' ', quiet + ok}, {ens, '-', quiet + off},
                      {"q", 'r', none + none}, {"q", 'o', bad + bad},  {"q", 'p', bad + bad},
                      {"q", 'l', ok + ok},     {"q", 'e', ok + bad}};
  for (auto& [arg, fault, log] : rows) {
    SCOPED_TRACE(arg + fault);
    Intro t(arg);
    if (fault == '-') t.f.settings.values["introSound"] = false;
    if (fault == 'r') t.f.bundle.resources.erase("intro-sound.m4a");
    t.f.sound.openFails = fault == 'o';
    t.f.sound.startAs.playFails = fault == 'p';
    t.f.sound.startAs.late = fault == 'l' || fault == 'e';
    for (auto m : {ScriptMessage(), {"other"}, {"start"}, {"start"}}) t.overlay.onIntroMessage(m);
    for (auto& s : t.f.sound.sounds)
      if (s->outcome) s->outcome(fault == 'l');
    EXPECT_EQ(t.log(), log);
  }
}

TEST(IntroSound, FinishedFadesTheSoundInTwelveStepsAndEndsTheIntro) {
  Intro t;
  t.overlay.onIntroMessage("finished");  // nothing plays: only the intro ends
  EXPECT_EQ(t.view(0).fades.size(), 1u);
  for (auto m : {"start", "finished", "start"}) t.overlay.onIntroMessage(m);  // the fade is cut
  auto& sound = *t.f.sound.sounds.at(1);
  sound.position = 2.44;
  t.overlay.onIntroMessage("finished");
  t.f.loop.advance(1);
  const std::string play = "play intro-sound.m4a: playing\n";
  EXPECT_EQ(t.log(), play + "fading out after 0.0s\n" + play + "fading out after 2.4s\n");
  std::vector<float> want{1.0f};
  for (int i = 1; i <= 12; ++i) want.push_back(static_cast<float>(1.0 - i / 12.0));
  EXPECT_EQ(sound.volumes, want);
  EXPECT_EQ(sound.stops, 1);
  EXPECT_EQ(t.f.sound.sounds[0]->volumes, std::vector<float>{1.0f});
  // Finished before the player says it plays: that sound fades and stops all the same.
  t.f.sound.startAs.late = true;
  for (auto m : {"start", "finished"}) t.overlay.onIntroMessage(m);
  t.f.loop.advance(1);
  auto& late = *t.f.sound.sounds.at(2);
  EXPECT_EQ(std::tuple(late.volumes.size(), late.volumes.back(), late.stops),
            std::tuple(13u, 0.0f, 1));
  EXPECT_TRUE(t.log().ends_with("fading out after 0.0s\n" + play)) << t.log();
}

}  // namespace

#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

namespace qm {
namespace {

constexpr const char* kReady = "window.qmReady && qmReady()";

struct Overlay {
  test::TempHome home;
  test::FakePlatform f;
  std::unique_ptr<AppDelegate> app;

  explicit Overlay(std::optional<bool> showIntro = std::nullopt, bool page = true) {
    initGlobals();
    if (showIntro) f.settings.values["showIntro"] = *showIntro;
    if (page) f.bundle.resources["intro.html"] = "/opt/bundle/intro.html";
    f.bundle.resources["intro-sound.m4a"] = "/opt/bundle/intro-sound.m4a";
    app = std::make_unique<AppDelegate>(f.platform);
    app->buildWindow();
  }
  test::FakeMainWindow& win() { return *f.ui.window; }
  std::vector<test::FakeWebView*>& intros() { return win().intros; }
  // Completes the fade of the n-th intro view and lets the loop release it.
  void finishFade(std::size_t n) {
    auto* v = intros().at(n);
    ASSERT_EQ(v->fades.size(), 1u);
    EXPECT_DOUBLE_EQ(v->fades[0].first, 0.45);
    auto done = v->fades[0].second;
    done();
    EXPECT_TRUE(v->removed);
    f.loop.drain();
  }
};

TEST(IntroOverlay, ShownAtLaunchUnlessSwitchedOffOrMissing) {
  struct Case {
    std::optional<bool> setting;
    bool page;
    bool shown;
  } cases[] = {{std::nullopt, true, true},
               {true, true, true},
               {false, true, false},
               {std::nullopt, false, false}};
  for (auto& c : cases) {
    Overlay t(c.setting, c.page);
    EXPECT_EQ(t.app->introOn(), !c.setting || *c.setting);
    EXPECT_EQ(t.intros().size(), c.shown ? 1u : 0u);
    EXPECT_EQ(t.app->intro != nullptr, c.shown);
    if (c.shown) {
      EXPECT_EQ(*t.intros()[0]->uri(), "file:///opt/bundle/intro.html");
    }
    // No guard without an intro.
    EXPECT_EQ(t.f.loop.timers.size(), c.shown ? 1u : 0u);
    if (!c.page) {
      int presented = t.win().presented;
      t.app->replayIntro();  // only brings the window forward
      EXPECT_EQ(t.win().presented, presented + 1);
      EXPECT_TRUE(t.intros().empty() && t.f.loop.timers.empty());
    }
  }
}

TEST(IntroOverlay, GuardEndsIntroAfter25Seconds) {
  Overlay t;
  t.f.loop.advance(24.9);
  EXPECT_NE(t.app->intro, nullptr);
  EXPECT_TRUE(t.intros()[0]->fades.empty());
  t.f.loop.advance(0.2);
  EXPECT_EQ(t.app->intro, nullptr);
  t.finishFade(0);
}

TEST(IntroOverlay, EndDuringFadeDoesNothingAndNewIntroSurvivesOldRemoval) {
  Overlay t;
  t.app->endIntro();
  t.app->endIntro();  // already fading
  ASSERT_EQ(t.intros()[0]->fades.size(), 1u);
  t.app->replayIntro();  // allowed while the old one fades
  ASSERT_EQ(t.intros().size(), 2u);
  t.finishFade(0);
  EXPECT_EQ(t.app->intro.get(), t.intros()[1]);
  EXPECT_FALSE(t.intros()[1]->removed);
}

TEST(IntroOverlay, ReplayWhilePlayingDoesNothingAndLaunchGuardEndsReplay) {
  Overlay t;
  int presented = t.win().presented;
  t.app->replayIntro();
  EXPECT_EQ(t.win().presented, presented);
  EXPECT_EQ(t.intros().size(), 1u);

  t.f.loop.advance(5);
  t.app->endIntro();
  t.finishFade(0);
  t.f.loop.advance(5);
  t.app->replayIntro();  // ten seconds in
  EXPECT_EQ(t.win().presented, presented + 1);
  ASSERT_EQ(t.intros().size(), 2u);
  t.f.loop.advance(15.1);  // the launch's guard fires first
  EXPECT_EQ(t.app->intro, nullptr);
  EXPECT_EQ(t.intros()[1]->fades.size(), 1u);
}

TEST(IntroOverlay, ReadyCallOnlyForCurrentIntroOnceUiIsLoading) {
  Overlay t;
  auto* v = t.intros()[0];
  t.app->onIntroLoadFinished(*v);  // UI not loading yet
  EXPECT_TRUE(v->scripts.empty());
  t.app->introReady = true;
  t.app->onIntroLoadFinished(*v);
  t.app->onIntroLoadFinished(*v);  // a reload of the page calls again
  EXPECT_EQ(v->scripts, (std::vector<std::string>{kReady, kReady}));
  t.app->onIntroLoadFinished(t.win().webView);  // the main view never calls the page
  EXPECT_TRUE(t.win().webView.scripts.empty());
  t.app->endIntro();
  t.app->onIntroLoadFinished(*v);  // fading
  EXPECT_EQ(v->scripts.size(), 2u);
}

}  // namespace
}  // namespace qm

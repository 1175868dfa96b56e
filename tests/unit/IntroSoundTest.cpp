#include "intro/IntroSound.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <sstream>

#include "app/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"

namespace qm {
namespace {

using test::FakePlatform;

struct SoundFixture {
  test::TempHome home;
  FakePlatform f;
  std::unique_ptr<IntroSound> sound;

  explicit SoundFixture(std::vector<std::string> args = {"quillmarsh-quarn"}) {
    f.bundle.resources["intro-sound.m4a"] = "/opt/bundle/intro-sound.m4a";
    sound = std::make_unique<IntroSound>(f.sound, f.settings, f.bundle, f.loop, f.clock, args);
  }
  std::string logPath() const { return home.path() + "/Library/Logs/Quillmarsh/intro-sound.log"; }
  std::string log() const { return files::read(logPath()).value_or(""); }
  // The messages of the log, without date, time, zone and bundle identifier.
  std::vector<std::string> messages() const {
    std::vector<std::string> out;
    std::istringstream in(log());
    for (std::string line; std::getline(in, line);) {
      std::size_t pos = 0;
      for (int i = 0; i < 4 && pos != std::string::npos; ++i) pos = line.find(' ', pos + 1);
      out.push_back(pos == std::string::npos ? line : line.substr(pos + 1));
    }
    return out;
  }
};

TEST(IntroSound, DecisionsAreLoggedAndFollowed) {
  // setting: ' ' absent, '+' on, '-' off; fault: ' ' none, 'r' no resource, 'o' open fails,
  // 'p' play fails. Two play() calls each.
  const std::string quiet = "quiet (opened by Open All)", off = "off in the app menu",
                    ok = "play intro-sound.m4a: playing", failed = "play intro-sound.m4a: FAILED";
  struct Case {
    std::vector<std::string> args;
    char setting, fault;
    std::vector<std::string> log;
  } cases[] = {
      {{"q"}, ' ', ' ', {ok, ok}},
      {{"q", "--qm-ensemble"}, '+', ' ', {quiet, ok}},
      {{"q", "--qm-ensemble"}, '-', ' ', {quiet, off}},
      {{"--qm-ensemble"}, ' ', ' ', {quiet, ok}},
      {{"q", "--qm-ensemble2"}, ' ', ' ', {ok, ok}},
      {{"q", "--QM-Ensemble"}, ' ', ' ', {ok, ok}},
      {{"q"}, '-', ' ', {off, off}},
      {{"q"}, '+', 'r', {"no intro-sound.m4a in the app", "no intro-sound.m4a in the app"}},
      {{"q"}, '+', 'o', {failed, failed}},
      {{"q"}, '+', 'p', {failed, failed}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.args.back() + c.setting + c.fault);
    SoundFixture t(c.args);
    if (c.setting != ' ') t.f.settings.values["introSound"] = c.setting == '+';
    if (c.fault == 'r') t.f.bundle.resources.clear();
    t.f.sound.openFails = c.fault == 'o';
    t.f.sound.playFails = c.fault == 'p';
    t.sound->play();
    t.sound->play();
    EXPECT_EQ(t.messages(), c.log);
    int playing = 0;
    for (auto& s : t.f.sound.sounds) {
      playing += s->playing;
      EXPECT_EQ(s->volumes, std::vector<float>{1.0f});
    }
    EXPECT_EQ(playing, c.log.back() == ok ? 1 : 0);
    if (t.f.sound.sounds.size() == 2) {
      EXPECT_EQ(t.f.sound.sounds[0]->stops, 1);  // the first is stopped
    }
  }
}

TEST(IntroSound, LogLinesAreUtcWithBundleIdentifierAndAppended) {
  struct Case {
    double time;
    std::optional<std::string> id;
    std::string line;
  } cases[] = {
      {1700000000, "app.quillmarsh.quarn", "2023-11-14 22:13:20 +0000 app.quillmarsh.quarn m\n"},
      {1704157384.9, "app.quillmarsh.quarn", "2024-01-02 01:03:04 +0000 app.quillmarsh.quarn m\n"},
      {951782400, std::nullopt, "2000-02-29 00:00:00 +0000 ? m\n"},
      {951782400, std::string("a\nb"), "2000-02-29 00:00:00 +0000 a b m\n"},
  };
  // A local zone far from UTC must not leak into the stamp.
  std::optional<std::string> saved;
  if (const char* tz = getenv("TZ")) saved = tz;
  setenv("TZ", "Pacific/Kiritimati", 1);
  tzset();
  for (auto& c : cases) {
    SoundFixture t;
    t.f.clock.t = c.time;
    t.f.bundle.id = c.id;
    t.sound->note("m");  // creates folder and file
    t.sound->note("m");  // appends
    EXPECT_EQ(t.log(), c.line + c.line);
  }
  saved ? setenv("TZ", saved->c_str(), 1) : unsetenv("TZ");
  tzset();
}

TEST(IntroSound, FadeLowersVolumeInTwelveStepsThenStops) {
  SoundFixture t;
  t.sound->play();
  auto& s = *t.f.sound.sounds.at(0);
  s.position = 2.44;
  t.sound->fadeOut();
  EXPECT_EQ(t.messages().back(), "fading out after 2.4s");
  t.f.loop.advance(0.25);
  EXPECT_TRUE(s.playing);  // halfway
  t.f.loop.advance(1.0);
  std::vector<float> expected{1.0f};
  for (int i = 1; i <= 12; ++i) expected.push_back(static_cast<float>(1.0 - i / 12.0));
  EXPECT_EQ(s.volumes, expected);
  EXPECT_FALSE(s.playing);
  EXPECT_EQ(s.stops, 1);
  EXPECT_TRUE(t.f.loop.timers.empty());
}

TEST(IntroSound, FadeOnlyWhilePlayingAndASecondPlayCancelsIt) {
  SoundFixture t;
  t.sound->fadeOut();  // never played
  t.sound->play();
  t.f.sound.sounds.at(0)->playing = false;  // ended by itself
  t.sound->fadeOut();
  EXPECT_EQ(t.messages(), std::vector<std::string>{"play intro-sound.m4a: playing"});
  EXPECT_TRUE(t.f.loop.timers.empty());

  t.sound->play();
  t.sound->fadeOut();
  t.f.loop.advance(0.1);  // a couple of steps down
  t.sound->play();
  auto& fading = *t.f.sound.sounds.at(1);
  auto& second = *t.f.sound.sounds.at(2);
  EXPECT_FALSE(fading.playing);
  auto fadingVolumes = fading.volumes.size();
  t.f.loop.advance(2.0);
  EXPECT_EQ(fading.volumes.size(), fadingVolumes);
  EXPECT_TRUE(second.playing);
  EXPECT_EQ(second.volumes, std::vector<float>{1.0f});
  EXPECT_TRUE(t.f.loop.timers.empty());
}

}  // namespace
}  // namespace qm

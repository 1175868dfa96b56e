#include "intro/IntroSound.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <utility>

#include "core/Files.h"
#include "core/Paths.h"

namespace qm {

namespace {

constexpr int kFadeSteps = 12;
constexpr const char* kSoundFile = "intro-sound.m4a";

// "YYYY-MM-DD HH:MM:SS +0000", always UTC.
std::string utcStamp(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0 || seconds > 253402300799.0) seconds = 0;
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return "1970-01-01 00:00:00 +0000";
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
  return buf;
}

// One digit after the point whatever the process locale says (never "2,4").
std::string oneDecimal(double v) {
  if (!std::isfinite(v) || v < 0) v = 0;
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
  return std::string(buf, r.ptr);
}

// A line of the shared log must stay one line.
std::string oneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

std::string lastComponent(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

IntroSound::IntroSound(SoundPlayer& player, Settings& settings, Bundle& bundle, MainLoop& loop,
                       Clock& clock, bool ensembleLaunch)
    : player_(player),
      settings_(settings),
      bundle_(bundle),
      loop_(loop),
      clock_(clock),
      ensemble_(ensembleLaunch) {}

IntroSound::~IntroSound() {
  cancelFade();
}

bool IntroSound::enabled() {
  return settings_.getBool("introSound").value_or(true);
}

void IntroSound::setEnabled(bool on) {
  settings_.setBool("introSound", on);
}

void IntroSound::play() {
  if (ensemble_) {
    // Opened together with the sibling apps: stay quiet once, not all of them at the same time.
    ensemble_ = false;
    note("quiet (opened by Open All)");
    return;
  }
  if (!enabled()) {
    note("off in the app menu");
    return;
  }
  auto path = bundle_.resource(kSoundFile);
  if (!path) {
    note("no intro-sound.m4a in the app");
    return;
  }
  cancelFade();
  if (sound_) stopSound(*sound_);
  sound_ = player_.open(*path);
  std::string played = "play " + lastComponent(*path) + ": ";
  if (!sound_) {
    note(played + "FAILED");
    return;
  }
  sound_->setVolume(1.0f);
  // Decided once the player has started or failed: a missing audio device or a broken file
  // may only show after the switch to playing.
  unreported_ = played;
  sound_->play(life_.guard([this, played](bool ok) {
    unreported_.reset();
    note(played + (ok ? "playing" : "FAILED"));
  }));
}

void IntroSound::fadeOut(double seconds) {
  // A sound still starting is faded too: its player may say "playing" after the page is done.
  if (!sound_ || !(sound_->isPlaying() || unreported_)) return;
  note("fading out after " + oneDecimal(sound_->currentTime()) + "s");
  cancelFade();
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0.5;
  double interval = std::max(seconds / kFadeSteps, 0.001);
  // The tick holds the sound that is fading, not the field: a later play() replaces the field.
  auto sound = sound_;
  auto step = std::make_shared<int>(0);
  auto self = std::make_shared<TimerId>(0);
  *self = loop_.every(interval, [this, sound, step, self] {
    ++*step;
    double v = std::max(0.0, 1.0 - static_cast<double>(*step) / kFadeSteps);
    sound->setVolume(static_cast<float>(v));
    if (*step >= kFadeSteps) {
      stopSound(*sound);
      loop_.cancel(*self);
    }
  });
  fader_ = *self;
}

void IntroSound::cancelFade() {
  if (fader_) loop_.cancel(*fader_);
}

void IntroSound::stopSound(Sound& sound) {
  sound.stop();
  // Stopped by the app itself before its player answered: it was started, as the line says.
  if (&sound == sound_.get() && unreported_) note(*std::exchange(unreported_, {}) + "playing");
}

void IntroSound::note(const std::string& message) {
  std::string dir = paths::suiteLogDir();
  // The log only tells what the sound did; a line that cannot be written changes nothing else.
  (void)files::makeDirs(dir);
  auto id = bundle_.identifier();
  std::string who = id && !id->empty() ? oneLine(*id) : "?";
  std::string line = utcStamp(clock_.now()) + " " + who + " " + oneLine(message) + "\n";
  (void)files::append(dir + "/intro-sound.log", line);
}

}  // namespace qm

#pragma once
// The intro's sound: plays on the page's request, fades out in 12 steps, logs each decision to
// ~/Library/Logs/Quillmarsh/intro-sound.log.

#include <memory>
#include <optional>
#include <string>

#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/Scoped.h"
#include "platform/Settings.h"
#include "platform/Sound.h"
#include "platform/SoundPlayer.h"

namespace qm {

class IntroSound {
 public:
  // `ensembleLaunch`: started together with the suite's other apps (--qm-ensemble).
  IntroSound(SoundPlayer& player, Settings& settings, Bundle& bundle, MainLoop& loop, Clock& clock,
             bool ensembleLaunch);
  ~IntroSound();
  IntroSound(const IntroSound&) = delete;
  IntroSound& operator=(const IntroSound&) = delete;

  void play();
  void fadeOut(double seconds = 0.5);
  // Appends one line: date, bundle identifier (or "?"), message.
  void note(const std::string& message);

  // "introSound": true unless a Boolean false is stored.
  bool enabled();
  void setEnabled(bool on);
  // True while the process was launched with "--qm-ensemble" and play() has not used it yet.
  bool ensembleLaunch() const { return ensemble_; }

 private:
  void cancelFade();
  // Stops the sound; a start that its player had not reported yet still gets its log line.
  void stopSound(Sound& sound);

  SoundPlayer& player_;
  Settings& settings_;
  Bundle& bundle_;
  MainLoop& loop_;
  Clock& clock_;
  bool ensemble_;
  std::shared_ptr<Sound> sound_;
  // The log line of sound_ while its player has not said whether it plays.
  std::optional<std::string> unreported_;
  std::optional<TimerId> fader_;
  Lifetime life_;
};

}  // namespace qm

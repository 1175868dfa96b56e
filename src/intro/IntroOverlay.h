#pragma once
// The intro shown over the main window at launch: its view, the ready call, the fade and the
// guard that ends it, and its sound.

#include <memory>
#include <string>
#include <vector>

#include "intro/IntroSound.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/IntroEvents.h"
#include "platform/IntroView.h"
#include "platform/MainLoop.h"
#include "platform/MenuBar.h"
#include "platform/Scoped.h"
#include "platform/ScriptMessage.h"
#include "platform/Settings.h"
#include "platform/SoundPlayer.h"
#include "window/WindowSlices.h"

namespace qm {

// What the connection flow tells the intro.
class IntroStage {
 public:
  virtual void endIntro() = 0;
  // The server's UI is loading: the page may finish as soon as it likes.
  virtual void uiLoading() = 0;

 protected:
  ~IntroStage() = default;
};

class IntroOverlay : public IntroEvents, public IntroStage {
 public:
  IntroOverlay(IntroHost& window, MenuBar& menuBar, MainLoop& loop, Clock& clock,
               Settings& settings, Bundle& bundle, SoundPlayer& player, bool ensembleLaunch);
  ~IntroOverlay() override;

  // "showIntro": true unless a Boolean false is stored.
  bool introOn();
  void startIntro();
  void endIntro() override;
  void replayIntro();
  void toggleIntro();
  void toggleIntroSound();
  void uiLoading() override;

  void onIntroMessage(const ScriptMessage& body) override;
  void onIntroLoadFinished(IntroView& view) override;

  bool showing() const { return intro_ != nullptr; }
  bool introReady() const { return introReady_; }
  bool introSoundOn() { return introSound_.enabled(); }

 private:
  IntroHost& window_;
  MenuBar& menuBar_;
  ScopedLoop loop_;
  Settings& settings_;
  Bundle& bundle_;
  IntroSound introSound_;
  std::unique_ptr<IntroView> intro_;
  bool introReady_ = false;
  // Intro views fading out; each is removed when its fade ends.
  std::vector<std::unique_ptr<IntroView>> fading_;
};

}  // namespace qm

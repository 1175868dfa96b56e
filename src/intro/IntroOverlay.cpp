#include "intro/IntroOverlay.h"

#include <algorithm>

namespace qm {

namespace {
constexpr double kIntroGuardSeconds = 25.0;
constexpr double kIntroFadeSeconds = 0.45;
constexpr const char* kReadyScript = "window.qmReady && qmReady()";
}  // namespace

IntroOverlay::IntroOverlay(IntroHost& window, Ui& ui, MainLoop& loop, Clock& clock,
                           Settings& settings, Bundle& bundle, SoundPlayer& player,
                           bool ensembleLaunch)
    : window_(window),
      ui_(ui),
      loop_(loop),
      settings_(settings),
      bundle_(bundle),
      introSound_(player, settings, bundle, loop_, clock, ensembleLaunch) {}

IntroOverlay::~IntroOverlay() {
  if (intro_) intro_->remove();
  for (auto& view : fading_) view->remove();
}

bool IntroOverlay::introOn() {
  return settings_.getBool("showIntro").value_or(true);
}

void IntroOverlay::startIntro() {
  // Never drop a view that is still on screen without taking it off first.
  if (intro_) return;
  auto page = bundle_.resource("intro.html");
  if (!page) return;
  intro_ = window_.createIntroView(*page, *this);
  if (!intro_) return;
  // Not tied to this view: whatever intro is on screen when it fires is ended.
  loop_.after(kIntroGuardSeconds, [this] { endIntro(); });
}

void IntroOverlay::endIntro() {
  if (!intro_) return;
  IntroView* view = intro_.get();
  fading_.push_back(std::move(intro_));
  view->fadeOut(kIntroFadeSeconds, [this, view] {
    auto it = std::find_if(fading_.begin(), fading_.end(),
                           [view](const auto& v) { return v.get() == view; });
    if (it == fading_.end()) return;
    std::shared_ptr<IntroView> done(std::move(*it));
    fading_.erase(it);
    done->remove();
    // Destroyed once the view's own callback has returned.
    loop_.post([done] {});
  });
}

void IntroOverlay::replayIntro() {
  if (intro_ || !window_.built()) return;
  window_.present();
  startIntro();
}

void IntroOverlay::toggleIntro() {
  settings_.setBool("showIntro", !introOn());
  ui_.setMenuItemState("toggleIntro", introOn());
}

void IntroOverlay::toggleIntroSound() {
  introSound_.setEnabled(!introSound_.enabled());
  ui_.setMenuItemState("toggleIntroSound", introSound_.enabled());
}

void IntroOverlay::uiLoading() {
  introReady_ = true;
  if (intro_) intro_->evaluate(kReadyScript);
}

void IntroOverlay::onIntroMessage(const ScriptMessage& body) {
  if (!body) return;
  if (*body == "start") {
    introSound_.play();
  } else if (*body == "finished") {
    introSound_.fadeOut();
    endIntro();
  }
}

void IntroOverlay::onIntroLoadFinished(IntroView& view) {
  if (intro_.get() == &view && introReady_) view.evaluate(kReadyScript);
}

}  // namespace qm

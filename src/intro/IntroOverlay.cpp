#include <algorithm>
#include <memory>

#include "app/AppDelegate.h"

namespace qm {

namespace {
constexpr double kIntroGuardSeconds = 25.0;
constexpr double kIntroFadeSeconds = 0.45;
}  // namespace

bool AppDelegate::introOn() {
  return platform.settings.getBool("showIntro").value_or(true);
}

void AppDelegate::startIntro() {
  // Never drop a view that is still on screen without taking it off first.
  if (intro || !window) return;
  auto page = platform.bundle.resource("intro.html");
  if (!page) return;
  intro = window->createIntroView(*page, *this);
  if (!intro) return;
  // Not tied to this view: whatever intro is on screen when it fires is ended.
  platform.loop.after(kIntroGuardSeconds, [this] { endIntro(); });
}

void AppDelegate::endIntro() {
  if (!intro) return;
  IntroView* view = intro.get();
  fading_.push_back(std::move(intro));
  view->fadeOut(kIntroFadeSeconds, [this, view] {
    auto it = std::find_if(fading_.begin(), fading_.end(),
                           [view](const auto& v) { return v.get() == view; });
    if (it == fading_.end()) return;
    std::shared_ptr<IntroView> done(std::move(*it));
    fading_.erase(it);
    done->remove();
    // Destroyed once the view's own callback has returned.
    platform.loop.post([done] {});
  });
}

void AppDelegate::onIntroLoadFinished(IntroView& view) {
  if (intro && intro.get() == &view && introReady) view.evaluate("window.qmReady && qmReady()");
}

void AppDelegate::replayIntro() {
  if (intro || !window) return;
  window->present();
  startIntro();
}

void AppDelegate::toggleIntro() {
  platform.settings.setBool("showIntro", !introOn());
  platform.ui.setMenuItemState("toggleIntro", introOn());
}

void AppDelegate::toggleIntroSound() {
  introSound.setEnabled(!introSound.enabled());
  platform.ui.setMenuItemState("toggleIntroSound", introSound.enabled());
}

}  // namespace qm

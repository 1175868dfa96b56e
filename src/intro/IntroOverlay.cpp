// Placeholder until the intro lands.
#include "app/AppDelegate.h"

namespace qm {

bool AppDelegate::introOn() {
  return false;
}
void AppDelegate::startIntro() {}
void AppDelegate::endIntro() {}
void AppDelegate::onIntroLoadFinished(IntroView&) {}
void AppDelegate::replayIntro() {}
void AppDelegate::toggleIntro() {}
void AppDelegate::toggleIntroSound() {}

}  // namespace qm

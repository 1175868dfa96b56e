// Placeholder until the intro sound lands.
#include "intro/IntroSound.h"

namespace qm {

IntroSound::IntroSound(SoundPlayer& player, Settings& settings, Bundle& bundle, MainLoop& loop,
                       Clock& clock, std::vector<std::string>)
    : player_(player), settings_(settings), bundle_(bundle), loop_(loop), clock_(clock) {}
void IntroSound::play() {}
void IntroSound::fadeOut(double) {}
void IntroSound::note(const std::string&) {}
bool IntroSound::enabled() {
  return settings_.getBool("introSound").value_or(true);
}
void IntroSound::setEnabled(bool on) {
  settings_.setBool("introSound", on);
}

}  // namespace qm

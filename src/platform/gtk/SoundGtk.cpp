// Placeholder until the intro sound lands.
#include "platform/gtk/Factories.h"

namespace qm::gtk {

namespace {
class NullPlayer : public SoundPlayer {
 public:
  std::unique_ptr<Sound> open(const std::string&) override { return nullptr; }
};
}  // namespace

std::unique_ptr<SoundPlayer> makeSoundPlayer() {
  return std::make_unique<NullPlayer>();
}

}  // namespace qm::gtk

// Placeholder until the intro lands.
#include "platform/gtk/Factories.h"

namespace qm::gtk {

std::unique_ptr<IntroView> makeIntroView(GtkOverlay*, WebKitNetworkSession*, const std::string&,
                                         WebEvents&) {
  return nullptr;
}

}  // namespace qm::gtk

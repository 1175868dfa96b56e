// Placeholder until the poller lands.
#include "app/AppDelegate.h"

namespace qm {

void AppDelegate::poll() {}
void AppDelegate::notify(const std::string&, const std::string&) {}

}  // namespace qm

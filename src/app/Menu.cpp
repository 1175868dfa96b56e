// Placeholder until the menu lands: keeps the app running.
#include "app/AppDelegate.h"

namespace qm {

void AppDelegate::buildMainMenu() {}
void AppDelegate::onMenuAction(const std::string&) {}
void AppDelegate::reloadWeb() {
  if (web) web->reloadFromOrigin();
}
void AppDelegate::openHQ() {}
void AppDelegate::openStudio() {}
void AppDelegate::openExports() {}
void AppDelegate::showAbout() {}

}  // namespace qm

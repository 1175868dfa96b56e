#pragma once
// Notifications and the launcher badge over the session bus.

#include <functional>
#include <memory>

#include "platform/Notifier.h"

namespace qm {

// A click on a notification calls onClicked.
std::unique_ptr<Notifier> makeNotifier(std::function<void()> onClicked);

}  // namespace qm

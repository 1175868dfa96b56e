#pragma once
// Default applications, sibling apps and the file manager, through GIO.

#include <gio/gio.h>

#include <functional>
#include <memory>

#include "core/Handle.h"
#include "platform/Desktop.h"

namespace qm {

// Makes the context of each launch, which lets the launched application take focus on the
// display the app runs on; a null one launches without.
using LaunchContexts = std::function<GPtr<GAppLaunchContext>()>;

std::unique_ptr<Desktop> makeDesktop(LaunchContexts contexts);

}  // namespace qm

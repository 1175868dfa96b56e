#pragma once
// A web view's context menu and permission requests, held to the app's rules.

#include <webkit/webkit.h>

#include <vector>

#include "core/Handle.h"

namespace qm::webkit {

// While the connections live. Inspect Element shows where the view's settings enable developer
// extras.
std::vector<SignalConnection> connectPageFeatures(WebKitWebView* view);

}  // namespace qm::webkit

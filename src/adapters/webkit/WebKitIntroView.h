#pragma once
// The intro's transparent web view, laid on the overlay above the main view.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/ContentEvents.h"
#include "platform/IntroEvents.h"

namespace qm::webkit {

// gone runs when the view is destroyed.
std::unique_ptr<IntroView> makeIntroView(GtkOverlay* overlay, WebKitNetworkSession* session,
                                         const std::string& htmlPath, IntroEvents& events,
                                         ContentEvents& content, std::function<void()> gone);

}  // namespace qm::webkit

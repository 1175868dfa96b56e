#pragma once
// Response policy of a web view and, for the main view, the navigation policy, new-window
// requests and script panels; the session's downloads.

#include <webkit/webkit.h>

#include <memory>
#include <vector>

#include "core/Handle.h"
#include "platform/ContentEvents.h"
#include "platform/DownloadEvents.h"

namespace qm::webkit {

// Delivered while the connections live.
std::vector<SignalConnection> connectWebContent(WebKitWebView* view, ContentEvents& events,
                                                bool mainView);
// The session's downloads, delivered while the returned handle lives.
std::shared_ptr<void> watchDownloads(WebKitNetworkSession* session, DownloadEvents& events);

}  // namespace qm::webkit

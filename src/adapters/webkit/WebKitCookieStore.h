#pragma once
// The network session's cookie manager as the app's cookie store.

#include <webkit/webkit.h>

#include <memory>

#include "platform/CookieStore.h"

namespace qm::webkit {

std::unique_ptr<CookieStore> makeCookieStore(WebKitNetworkSession* session);

}  // namespace qm::webkit

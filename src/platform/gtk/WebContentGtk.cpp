// Placeholder until web content handling lands.
#include "platform/gtk/Factories.h"

namespace qm::gtk {

void connectWebContent(WebKitWebView*, WebEvents&, bool) {}
void connectDownloads(WebKitNetworkSession*, WebEvents&) {}

}  // namespace qm::gtk

#pragma once
// The decisions that keep the main web view on the suite's own pages: which navigations stay
// inside, which responses are saved as files, and what a request for a new window does.

#include <functional>
#include <optional>
#include <string>

#include "platform/ContentEvents.h"

namespace qm::web {

enum class NavigationDecision {
  Allow,
  // Hand the URL to the default browser and cancel the navigation in the view.
  OpenExternally,
};

// The navigation-action rule for the main view; `base` is the base URL of the server in use.
NavigationDecision decideNavigation(const std::optional<std::string>& url, const std::string& base);

// "attachment" anywhere in Content-Disposition (case-sensitive), or a type the engine cannot
// show, becomes a download.
ResponsePolicy decideResponse(const std::string& contentDisposition, bool canShowMimeType);

struct NewWindowDecision {
  enum class Kind { Nothing, LaunchApp, OpenUri };
  Kind kind = Kind::Nothing;
  std::string target;  // the desktop entry id, or the URI to open
};

// What a page's request for a new window does. `installed` tells whether a desktop entry exists.
NewWindowDecision decideNewWindow(const std::optional<std::string>& url,
                                  const std::function<bool(const std::string&)>& installed);

}  // namespace qm::web

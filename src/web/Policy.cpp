#include "web/Policy.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "app/Constants.h"
#include "app/Url.h"

namespace qm::web {

namespace {

// Host names are case-insensitive; the engine lower-cases them but a typed server host may not be.
bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

bool isLoopbackName(const std::string& host) {
  return host == kLocalHost || equalsIgnoringCase(host, "localhost");
}

// Schemes that name local content or script rather than something another application could
// show; a page must not get them opened outside the app.
bool openableOutside(const std::string& scheme) {
  static constexpr std::array<std::string_view, 5> kLocal = {"file", "javascript", "data", "blob",
                                                             "about"};
  return std::none_of(kLocal.begin(), kLocal.end(),
                      [&](std::string_view s) { return equalsIgnoringCase(scheme, s); });
}

}  // namespace

NavigationDecision decideNavigation(bool mainView, const std::optional<std::string>& url,
                                    const std::string& base) {
  if (!mainView || !url) return NavigationDecision::Allow;
  auto parts = parseUrl(*url);
  if (!parts || !parts->host) return NavigationDecision::Allow;
  const std::string& host = *parts->host;
  if (isLoopbackName(host)) return NavigationDecision::Allow;
  if (auto baseHost = urlHost(base); baseHost && equalsIgnoringCase(*baseHost, host))
    return NavigationDecision::Allow;
  if (parts->scheme.rfind("http", 0) == 0) return NavigationDecision::OpenExternally;
  return NavigationDecision::Allow;
}

ResponsePolicy decideResponse(const std::string& contentDisposition, bool canShowMimeType) {
  if (contentDisposition.find("attachment") != std::string::npos) return ResponsePolicy::Download;
  return canShowMimeType ? ResponsePolicy::Allow : ResponsePolicy::Download;
}

NewWindowDecision decideNewWindow(const std::optional<std::string>& url,
                                  const std::function<bool(const std::string&)>& installed) {
  using Kind = NewWindowDecision::Kind;
  if (!url || url->empty()) return {};
  auto parts = parseUrl(*url);
  if (!parts || !openableOutside(parts->scheme)) return {};
  if (parts->port) {
    auto app = suiteAppOnPort(*parts->port);
    if (app && installed && installed(std::string(*app)))
      return {Kind::LaunchApp, std::string(*app)};
  }
  return {Kind::OpenUri, *url};
}

}  // namespace qm::web

#include "web/Policy.h"

#include <glib.h>

#include "core/Constants.h"
#include "core/Handle.h"
#include "core/Text.h"
#include "core/Url.h"

namespace qm::web {

namespace {

bool isLoopbackName(const std::string& host) {
  return host == kLocalHost || equalsIgnoringCase(host, "localhost");
}

// What a page may get opened outside the app: web pages and mail. Any other scheme reaches a
// local handler (file shares, remote shells, help browsers, custom ones) that a page must not
// drive; a mail link must not attach local files.
bool openableOutside(const UrlParts& parts, const std::string& url) {
  if (equalsIgnoringCase(parts.scheme, "http") || equalsIgnoringCase(parts.scheme, "https"))
    return true;
  if (!equalsIgnoringCase(parts.scheme, "mailto")) return false;
  // Mail programs decode the link before reading its fields, so the fields are read decoded; a
  // link that does not decode is not trusted either.
  GCharPtr decoded(g_uri_unescape_string(url.c_str(), nullptr));
  if (!decoded) return false;
  std::string text = decoded.get();
  std::size_t start = text.find('?');
  while (start != std::string::npos) {
    std::size_t end = text.find_first_of("&;#", start + 1);
    std::string field = text.substr(start + 1, end - start - 1);
    std::string name = text::trim(field.substr(0, field.find('=')));
    if (equalsIgnoringCase(name, "attach") || equalsIgnoringCase(name, "attachment")) return false;
    start = end;
  }
  return true;
}

}  // namespace

NavigationDecision decideNavigation(const std::optional<std::string>& url,
                                    const std::string& base) {
  if (!url) return NavigationDecision::Allow;
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
  if (!parts) return {};
  // Launching a sibling hands the link to no one, so its port decides before the scheme does.
  if (parts->port) {
    auto app = suiteAppOnPort(*parts->port);
    if (app && installed && installed(std::string(*app)))
      return {Kind::LaunchApp, std::string(*app)};
  }
  if (!openableOutside(*parts, *url)) return {};
  return {Kind::OpenUri, *url};
}

}  // namespace qm::web

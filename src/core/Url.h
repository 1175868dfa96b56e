#pragma once
// The parts of a URL that the app compares: scheme, host and explicit port.

#include <optional>
#include <string>
#include <string_view>

namespace qm {

struct UrlParts {
  std::string scheme;               // as written (GLib lower-cases it)
  std::optional<std::string> host;  // none when the URL has no host (about:, data:, mailto:)
  std::optional<int> port;          // only when written explicitly
};

// "http://" + host + ":" + port, no trailing slash.
std::string baseUrl(const std::string& host, int port);

// None when the text does not parse as an absolute URL.
std::optional<UrlParts> parseUrl(const std::string& url);
// The host of a URL; none when it does not parse or has no host.
std::optional<std::string> urlHost(const std::optional<std::string>& url);
// ASCII letters compared without case, as host names and schemes are: the engine lower-cases
// them, a typed or remembered host may not be.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool sameHost(const std::optional<std::string>& a, const std::optional<std::string>& b);
// Same scheme, host and port (written or implied by the scheme); false when either has no host.
bool sameOrigin(const std::optional<std::string>& a, const std::optional<std::string>& b);
// The app's own pages, loaded from a string with no base URL, have this one address.
bool ownPage(const std::optional<std::string>& url);

}  // namespace qm

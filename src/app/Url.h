#pragma once
// The parts of a URL that the app compares: scheme, host and explicit port.

#include <optional>
#include <string>

namespace qm {

struct UrlParts {
  std::string scheme;               // as written (GLib lower-cases it)
  std::optional<std::string> host;  // none when the URL has no host (about:, data:, mailto:)
  std::optional<int> port;          // only when written explicitly
};

// None when the text does not parse as an absolute URL.
std::optional<UrlParts> parseUrl(const std::string& url);
// The host of a URL; none when it does not parse or has no host.
std::optional<std::string> urlHost(const std::optional<std::string>& url);

}  // namespace qm

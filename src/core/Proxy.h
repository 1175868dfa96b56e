#pragma once
// Which proxy a request goes through. Loopback addresses never go to one, as in browsers; other
// hosts follow the proxy environment variables when one is set, else the desktop's settings.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm {

struct ProxySettings {
  // For schemes without a proxy of their own (all_proxy); empty for none.
  std::string fallback;
  std::vector<std::pair<std::string, std::string>> schemes;  // "http", "https" -> proxy URI
  // Hosts that go direct, as GLib's simple proxy resolver reads them: names (a domain and its
  // subdomains), addresses, ranges such as "10.0.0.0/8", each optionally with a port.
  std::vector<std::string> ignoreHosts;
};

// A URL's host (an IPv6 address without brackets) that names this computer.
bool isLoopback(const std::string& host);
// From http_proxy, https_proxy, all_proxy and no_proxy (each in lower case first, then in upper
// case); none when none of the first three is set, so that the desktop's settings hold.
std::optional<ProxySettings> proxyFromEnvironment(
    const std::function<std::optional<std::string>(const char*)>& env);

}  // namespace qm

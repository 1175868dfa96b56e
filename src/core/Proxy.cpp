#include "core/Proxy.h"

#include <gio/gio.h>

#include "core/Handle.h"
#include "core/Url.h"

namespace qm {

namespace {

// localhost, 127.0.0.0/8 and ::1.
const std::vector<std::string>& loopbackHosts() {
  static const std::vector<std::string> hosts{"localhost", "127.0.0.0/8", "::1"};
  return hosts;
}

}  // namespace

bool isLoopback(const std::string& host) {
  std::string h =
      host.starts_with('[') && host.ends_with(']') ? host.substr(1, host.size() - 2) : host;
  if (equalsIgnoringCase(h, "localhost")) return true;
  GPtr<GInetAddress> address = GPtr<GInetAddress>::adopt(g_inet_address_new_from_string(h.c_str()));
  return address && g_inet_address_get_is_loopback(address.get());
}

std::optional<ProxySettings> proxyFromEnvironment(
    const std::function<std::optional<std::string>(const char*)>& env) {
  auto read = [&](const char* lower, const char* upper) -> std::string {
    for (const char* name : {lower, upper})
      if (auto value = env(name); value && !value->empty()) return *value;
    return {};
  };
  // A proxy written without a scheme ("proxy:3128") is an HTTP proxy, as curl reads it.
  auto uri = [](std::string value) {
    return value.empty() || value.find("://") != std::string::npos ? value : "http://" + value;
  };
  std::string http = uri(read("http_proxy", "HTTP_PROXY"));
  std::string https = uri(read("https_proxy", "HTTPS_PROXY"));
  std::string all = uri(read("all_proxy", "ALL_PROXY"));
  if (http.empty() && https.empty() && all.empty()) return std::nullopt;
  ProxySettings settings;
  settings.ignoreHosts = loopbackHosts();
  std::string noProxy = read("no_proxy", "NO_PROXY");
  for (std::size_t start = 0; start <= noProxy.size();) {
    std::size_t comma = std::min(noProxy.find(',', start), noProxy.size());
    std::string entry = noProxy.substr(start, comma - start);
    start = comma + 1;
    entry.erase(0, entry.find_first_not_of(" \t"));
    entry.erase(entry.find_last_not_of(" \t") + 1);
    if (entry == "*") return ProxySettings{{}, {}, loopbackHosts()};  // nothing goes to a proxy
    if (!entry.empty() &&
        entry.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                ".-_*:[]/") == std::string::npos)
      settings.ignoreHosts.push_back(entry);
  }
  settings.fallback = all;
  if (!http.empty()) settings.schemes.emplace_back("http", http);
  if (!https.empty()) settings.schemes.emplace_back("https", https);
  return settings;
}

}  // namespace qm

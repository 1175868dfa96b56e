#include "core/Url.h"

#include <glib.h>

#include <algorithm>

#include "core/Handle.h"

namespace qm {

std::string baseUrl(const std::string& host, int port) {
  return "http://" + host + ":" + std::to_string(port);
}

std::optional<UrlParts> parseUrl(const std::string& url) {
  if (url.find('\0') != std::string::npos) return std::nullopt;
  Owned<GUri> uri(g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr));
  if (!uri) return std::nullopt;
  UrlParts parts;
  if (const char* s = g_uri_get_scheme(uri.get())) parts.scheme = s;
  if (const char* h = g_uri_get_host(uri.get()); h && *h) parts.host = h;
  if (int port = g_uri_get_port(uri.get()); port >= 0) parts.port = port;
  return parts;
}

std::optional<std::string> urlHost(const std::optional<std::string>& url) {
  if (!url) return std::nullopt;
  auto parts = parseUrl(*url);
  if (!parts) return std::nullopt;
  return parts->host;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return g_ascii_tolower(x) == g_ascii_tolower(y); });
}

bool sameHost(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  return a && b ? equalsIgnoringCase(*a, *b) : a == b;
}

bool sameOrigin(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  auto pa = a ? parseUrl(*a) : std::nullopt, pb = b ? parseUrl(*b) : std::nullopt;
  if (!pa || !pb || !pa->host || !pb->host) return false;
  auto port = [](const UrlParts& p) {
    if (p.port) return *p.port;
    return equalsIgnoringCase(p.scheme, "http")    ? 80
           : equalsIgnoringCase(p.scheme, "https") ? 443
                                                   : -1;
  };
  return equalsIgnoringCase(pa->scheme, pb->scheme) && sameHost(pa->host, pb->host) &&
         port(*pa) == port(*pb);
}

bool ownPage(const std::optional<std::string>& url) {
  return url == "about:blank";
}

}  // namespace qm

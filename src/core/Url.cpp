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

}  // namespace qm

#include "server/HostText.h"

#include <glib.h>

#include <cstddef>
#include <vector>

#include "core/Constants.h"
#include "core/Text.h"
#include "core/Url.h"

namespace qm::SuiteServer {

namespace {

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool hostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// "[fd7a::1]": an IPv6 address in the brackets a URL writes it in, without a zone (which a URL
// would have to encode).
bool bracketedIpv6(const std::string& host) {
  if (host.size() < 4 || host.front() != '[' || host.back() != ']') return false;
  std::string inner = host.substr(1, host.size() - 2);
  return inner.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos &&
         inner.find(':') != std::string::npos && g_hostname_is_ip_address(inner.c_str());
}

// A leading dot, two dots in a row or only dots: as a cookie domain such a host reaches every
// host of a zone. One final dot only marks the name as complete.
bool emptyLabel(const std::string& host) {
  return host.starts_with('.') || host.find("..") != std::string::npos;
}

constexpr std::size_t kMaxHost = 253, kMaxLabel = 63;

bool allDigits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// A host whose last label is a number is read by the engine as an IPv4 address in any of its
// old shorthands (octal, hexadecimal, fewer parts) and rewritten, so only the plain dotted-quad
// form names the same host everywhere.
bool plainHost(const std::string& host) {
  if (host.size() > kMaxHost) return false;
  std::vector<std::string> labels;
  for (std::size_t start = 0;;) {
    std::size_t dot = host.find('.', start);
    labels.push_back(host.substr(start, dot - start));
    if (labels.back().size() > kMaxLabel) return false;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  std::string last =
      labels.back().empty() && labels.size() > 1 ? labels[labels.size() - 2] : labels.back();
  bool numeric = allDigits(last) || last.starts_with("0x");
  if (!numeric) return true;
  if (labels.size() != 4) return false;
  for (auto& label : labels)
    if (!allDigits(label) || label.size() > 3 || (label.size() > 1 && label[0] == '0') ||
        std::stoi(label) > 255)
      return false;
  return true;
}

}  // namespace

std::optional<std::string> clean(const std::string& input) {
  std::string s = text::trim(input, text::anySpace);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (startsWith(s, "https://")) s.erase(0, 8);
  if (startsWith(s, "http://")) s.erase(0, 7);
  std::size_t first = s.find_first_not_of('/');
  s = first == std::string::npos ? std::string() : s.substr(first, s.find('/', first) - first);
  if (s.find(':') != std::string::npos && s.find(']') == std::string::npos) s.erase(s.rfind(':'));
  if (s.empty()) return std::nullopt;
  for (char c : s)
    if (!hostChar(c)) return std::nullopt;
  if (emptyLabel(s) || !plainHost(s)) return std::nullopt;
  if (s.ends_with('.')) s.pop_back();
  return s;
}

// Hosts from the file or the bundle are used as they stand, but only when they can be nothing
// but a host inside a URL: no user part, path, port or encoding that would send the probe
// somewhere else.
std::optional<std::string> probeUrl(const std::string& host, int port, const std::string& probe) {
  if (host.empty() || host.size() > 253) return std::nullopt;
  bool v6 = bracketedIpv6(host);
  if (!v6 && emptyLabel(host)) return std::nullopt;
  for (char c : host) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == '_';
    if (!ok && !v6) return std::nullopt;
  }
  std::string url = baseUrl(host, port) + probe;
  auto parts = parseUrl(url);
  if (!parts || parts->scheme != "http" || !parts->host || parts->port != port) return std::nullopt;
  // A URL's host carries an IPv6 address without its brackets.
  if (!equalsIgnoringCase(*parts->host, v6 ? host.substr(1, host.size() - 2) : host))
    return std::nullopt;
  return url;
}

bool usable(const std::string& host) {
  return probeUrl(host, PORT, kProbePath).has_value();
}

}  // namespace qm::SuiteServer

#include "window/PageControls.h"

#include <algorithm>
#include <iterator>

#include "core/Text.h"

namespace qm::page {

namespace {

bool writableHost(const std::string& host) {
  if (host.empty() || host[0] == '#' || host[0] == '[') return false;
  return std::none_of(host.begin(), host.end(),
                      [](unsigned char c) { return c <= ' ' || c == '=' || c == 0x7f; });
}

std::optional<int> parsePercent(const std::string& text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

int clampZoom(int percent) {
  return std::clamp(percent, kMinZoom, kMaxZoom);
}

int stepZoom(int percent, int steps) {
  int level = clampZoom(percent);
  for (; steps > 0; --steps) {
    auto next = std::upper_bound(std::begin(kZoomSteps), std::end(kZoomSteps), level);
    if (next != std::end(kZoomSteps)) level = *next;
  }
  for (; steps < 0; ++steps) {
    auto first = std::lower_bound(std::begin(kZoomSteps), std::end(kZoomSteps), level);
    if (first != std::begin(kZoomSteps)) level = *std::prev(first);
  }
  return level;
}

std::optional<ZoomLevels> parseZoomLevels(const std::string& text) {
  ZoomLevels levels;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text::trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    std::string host = text::trim(line.substr(0, eq));
    auto percent = parsePercent(text::trim(line.substr(eq + 1)));
    if (!writableHost(host) || !percent) return std::nullopt;
    levels[host] = clampZoom(*percent);
  }
  return levels;
}

std::string formatZoomLevels(const ZoomLevels& levels) {
  std::string text = "# Page zoom in percent, per server host\n";
  for (const auto& [host, percent] : levels)
    if (writableHost(host) && clampZoom(percent) != kDefaultZoom)
      text += host + "=" + std::to_string(clampZoom(percent)) + "\n";
  return text;
}

std::string matchCountText(bool searching, unsigned index, unsigned count) {
  if (!searching) return "";
  if (count == 0) return "No matches";
  return std::to_string(std::clamp(index, 1u, count)) + " of " + std::to_string(count);
}

unsigned stepMatch(unsigned index, unsigned count, bool forward) {
  if (count == 0) return 0;
  if (index == 0 || index > count) return forward ? 1 : count;
  if (forward) return index == count ? 1 : index + 1;
  return index == 1 ? count : index - 1;
}

}  // namespace qm::page

#include "window/Zoom.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "core/Constants.h"
#include "core/Files.h"
#include "core/Paths.h"
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

std::string zoomPath() {
  return paths::xdgStateHome() + "/" + kAppId + "/zoom-levels";
}

Zoom::Zoom(std::string path) : path_(std::move(path)) {
  if (auto text = files::read(path_)) {
    auto levels = parseZoomLevels(*text);
    if (levels) levels_ = std::move(*levels);
    broken_ = !levels;
  } else {
    broken_ = files::exists(path_);
  }
  if (broken_)
    g_warning("%s cannot be read; left as it is, zoom levels are not saved", path_.c_str());
}

int Zoom::level() const {
  auto it = levels_.find(host_);
  return it == levels_.end() ? kDefaultZoom : it->second;
}

int Zoom::show(const std::optional<std::string>& host) {
  if (host) host_ = *host;
  return level();
}

int Zoom::step(int steps) {
  int now = level();
  int level = steps ? stepZoom(now, steps) : kDefaultZoom;
  if (level == now) return level;
  levels_[host_] = level;
  if (!broken_ && !host_.empty()) {
    // The level is kept for the next change, which writes the whole file again.
    if (!files::makeDirs(files::parent(path_)) ||
        !files::writeAtomic(path_, formatZoomLevels(levels_)))
      g_warning("%s cannot be written: %s", path_.c_str(), g_strerror(errno));
  }
  return level;
}

}  // namespace qm::page

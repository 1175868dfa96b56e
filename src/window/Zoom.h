#pragma once
// Page zoom kept per server host: its steps, the zoom file's text, and which level is saved when.

#include <map>
#include <optional>
#include <string>

namespace qm::page {

// Zoom levels in percent, from the smallest to the largest.
inline constexpr int kZoomSteps[] = {30, 50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
inline constexpr int kMinZoom = 30, kMaxZoom = 300, kDefaultZoom = 100;

int clampZoom(int percent);
// The next step above (steps > 0) or below (steps < 0) a level, `steps` times, within the range;
// a level between steps moves to the neighbouring step first.
int stepZoom(int percent, int steps);

// Host -> zoom percent. Lines "host=percent"; blank lines and lines starting with "#" are
// skipped; levels are clamped to the range. None when a line does not parse, so that a
// hand-edited file is never overwritten with less than it holds.
using ZoomLevels = std::map<std::string, int>;
std::optional<ZoomLevels> parseZoomLevels(const std::string& text);
// The file's text; levels at 100% and hosts that cannot be written are left out.
std::string formatZoomLevels(const ZoomLevels& levels);

// "zoom-levels" in $XDG_STATE_HOME/app.quillmarsh.quarn.
std::string zoomPath();

// The level each host's pages show, read from the file at `path` and written back there on
// each change. A file that is there but cannot be read is broken: it is left as it is, and
// levels hold only while the app runs.
class Zoom {
 public:
  explicit Zoom(std::string path);

  // The level of a page at `host`. The app's own pages have none: they show at the level of the
  // host shown last ("" before any, whose level is never saved).
  int show(const std::optional<std::string>& host);
  // The shown host's level `steps` steps on, or back to the default for 0; saved when changed.
  int step(int steps);

 private:
  int level() const;

  std::string path_;
  ZoomLevels levels_;
  bool broken_ = false;
  std::string host_;
};

}  // namespace qm::page

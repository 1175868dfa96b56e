#pragma once
// The pure rules behind the page's own controls: zoom steps and the per-host zoom file, and the
// find bar's match count.

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

// The find bar's count: "3 of 12", "No matches" when there is none, "" with nothing to find.
std::string matchCountText(bool searching, unsigned index, unsigned count);
// The match after (forward) or before the 1-based `index`, wrapping around; 0 when none.
unsigned stepMatch(unsigned index, unsigned count, bool forward);

}  // namespace qm::page

#include "window/WindowSize.h"

#include <algorithm>

namespace qm {

WindowSize fitToArea(WindowSize wanted, WindowSize area, WindowSize minimum) {
  if (area.width <= 0 || area.height <= 0) return wanted;
  return {std::max(std::min(wanted.width, area.width), minimum.width),
          std::max(std::min(wanted.height, area.height), minimum.height)};
}

}  // namespace qm

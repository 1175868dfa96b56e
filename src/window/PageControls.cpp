#include "window/PageControls.h"

#include <algorithm>

namespace qm::page {

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

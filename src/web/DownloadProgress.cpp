#include "web/DownloadProgress.h"

#include <algorithm>
#include <cmath>

namespace qm::web {

std::optional<double> overallProgress(const std::map<DownloadId, Transfer>& running) {
  if (running.empty()) return std::nullopt;
  // In floating point: sums of sizes near 2^64 cannot overflow. An unknown size (0) adds nothing
  // to either sum.
  double received = 0, expected = 0;
  for (const auto& [id, t] : running) {
    received += static_cast<double>(std::min(t.received, t.expected));
    expected += static_cast<double>(t.expected);
  }
  if (expected <= 0) return 0.0;
  return std::clamp(std::floor(received * 100 / expected) / 100, 0.0, 1.0);
}

}  // namespace qm::web

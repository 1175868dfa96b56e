#pragma once
// How far the running downloads have come, all together, as the launcher shows it.

#include <cstdint>
#include <map>
#include <optional>

#include "platform/DownloadEvents.h"

namespace qm::web {

struct Transfer {
  std::uint64_t received = 0;
  std::uint64_t expected = 0;  // 0 when the server announced no size
};

// From 0 to 1 in whole percents, rounded down so that 1 means every byte is there: the bytes
// received of the downloads whose size is known, over those sizes (a download that received more
// than announced counts as complete). A download of unknown size has no share, as nothing tells
// how far it is: with only those running it is 0. None when nothing runs.
std::optional<double> overallProgress(const std::map<DownloadId, Transfer>& running);

}  // namespace qm::web

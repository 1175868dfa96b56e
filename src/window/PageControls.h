#pragma once
// The pure rules behind the find bar: its match count and the step from match to match.

#include <string>

namespace qm::page {

// The find bar's count: "3 of 12", "No matches" when there is none, "" with nothing to find.
std::string matchCountText(bool searching, unsigned index, unsigned count);
// The match after (forward) or before the 1-based `index`, wrapping around; 0 when none.
unsigned stepMatch(unsigned index, unsigned count, bool forward);

}  // namespace qm::page

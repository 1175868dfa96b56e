#pragma once
// Reading the server's overview of its security checks.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qm::overview {

// Larger answers are refused rather than parsed on the main thread.
constexpr std::size_t kMaxBytes = 4 * 1024 * 1024;
// The document itself needs three levels; anything much deeper is not an overview.
constexpr int kMaxDepth = 16;

struct BadCheck {
  std::string title;   // "A check" when the check has no string "title"
  std::string detail;  // empty when the check has no string "detail"
};

// The checks whose "status" is exactly "bad", in the server's order; none when the body is not
// a usable overview (not JSON, too deep or too large, no "checks" array of objects).
std::optional<std::vector<BadCheck>> badChecks(const std::string& body);

// The notification text naming a check.
std::string describe(const BadCheck& check);

}  // namespace qm::overview

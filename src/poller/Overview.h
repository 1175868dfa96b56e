#pragma once
// Reading the server's overview of its security checks.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qm::overview {

// Far more than an overview of a suite's checks holds; larger answers are not read.
constexpr std::size_t kMaxBytes = 1024 * 1024;
// The most characters a notification's text takes from the server.
constexpr std::size_t kMaxDescribed = 200;
// The document itself needs three levels; anything much deeper is not an overview.
constexpr int kMaxDepth = 16;

struct BadCheck {
  std::string title;   // "A check" when the check has no string "title"
  std::string detail;  // empty when the check has no string "detail"
};

// The checks whose "status" is exactly "bad", in the server's order; none when the body is not
// a usable overview (not JSON, too deep or too large, no "checks" array of objects).
std::optional<std::vector<BadCheck>> badChecks(const std::string& body);

// The notification text naming a check, at most kMaxDescribed characters: a longer one ends in
// "…".
std::string describe(const BadCheck& check);

}  // namespace qm::overview

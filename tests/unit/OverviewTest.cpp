#include "poller/Overview.h"

#include <gtest/gtest.h>

namespace qm::overview::overview_test {

// Twenty good checks, then a bad one whose "x" nests arrays so that the document is `d` deep.
std::string deep(int d) {
  std::string b = R"({"t":"\"","checks":[)";
  for (int i = 0; i < 20; ++i) b += R"({"status":"ok","x":[]},)";
  return b + R"({"status":"bad","x":)" + std::string(d - 3, '[') + std::string(d - 3, ']') + "}]}";
}

TEST(Overview, BadChecksAreReadInTheServersOrderFromUsableBodiesOnly) {
  std::string padded = R"({"checks":[{"status":"bad"}],"pad":""})";
  padded.insert(padded.size() - 2, kMaxBytes - padded.size(), 'x');
  std::pair<std::string, std::vector<std::string>> rows[] = {
      {R"({"":"[[[[[[[[[[[[[[[[[[[[","checks":[]})", {}},  // brackets in strings do not count
      {R"({"checks":[{"status":"bad","title":"Disk","detail":"Full"},{"status":"ok","title":"X"},
          {"status":"Bad"},{"status":"bad","title":7,"detail":null},{"title":"T"},
          {"detail":"d","status":"bad","title":"[[[[\"[[[[[[[[[[[[[[["}]})",
       {"Disk: Full", "A check: ", "[[[[\"[[[[[[[[[[[[[[[: d"}},
      {deep(16), {"A check: "}},
      {padded, {"A check: "}},
  };
  for (auto& [body, described] : rows) {
    std::vector<std::string> got;
    for (auto& check : badChecks(body).value_or(std::vector<BadCheck>{{"none", ""}}))
      got.push_back(describe(check));
    EXPECT_EQ(got, described) << body.substr(0, 80);
  }
  for (auto& body : std::vector<std::string>{"not json", "[]", "{}", R"({"checks":{}})",
                                             R"({"checks":[1]})", R"({"checks":[{},"x"]})",
                                             R"({"checks":[{}])", deep(17), padded + " "})
    EXPECT_FALSE(badChecks(body)) << body.substr(0, 80);
  // The notification takes at most 200 characters, never part of one.
  std::string e200, t198(198, 't');
  for (int i = 0; i < 200; ++i) e200 += "\xC3\xA9";
  EXPECT_EQ(describe({t198, ""}), t198 + ": ");
  EXPECT_EQ(describe({"A check", e200}), "A check: " + e200.substr(0, 380) + "\u2026");
}

}  // namespace qm::overview::overview_test

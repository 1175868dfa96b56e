#pragma once
// Process-wide values, set once at start; BASE changes when a server is put in use.

#include <map>
#include <string>

namespace qm {

extern const int PORT;
// Base URL of the server in use: "http://" + host + ":" + PORT, no trailing slash.
extern std::string BASE;
extern const std::string AGENT_LABEL;
// The suite's sibling apps by the port they serve on, as desktop entry ids.
extern const std::map<int, std::string> SUITE_APPS;

// Sets BASE to its launch value; main() calls it before the loop runs (tests call it to reset).
void initGlobals();

}  // namespace qm

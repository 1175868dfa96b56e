// SuiteServer::clean on any input: what it accepts is a host the engine keeps as written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Check.h"
#include "server/HostText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  auto host = qm::SuiteServer::clean(input);
  if (!host) return 0;
  FUZZ_CHECK(!host->empty() && host->size() <= 253);
  FUZZ_CHECK(host->find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-") ==
             std::string::npos);
  std::size_t label = 0;
  for (char c : *host) {
    FUZZ_CHECK(c != '.' || label > 0);  // no empty label, no final dot
    label = c == '.' ? 0 : label + 1;
    FUZZ_CHECK(label <= 63);
  }
  FUZZ_CHECK(label > 0);
  // A host whose last label (before one final dot) is a number is a plain dotted quad.
  std::string name = host->ends_with('.') ? host->substr(0, host->size() - 1) : *host;
  std::string last = name.substr(name.rfind('.') + 1);
  if ((!last.empty() && last.find_first_not_of("0123456789") == std::string::npos) ||
      last.starts_with("0x")) {
    unsigned a, b, c, d;
    char tail;
    FUZZ_CHECK(std::sscanf(host->c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &tail) == 4);
    FUZZ_CHECK(a < 256 && b < 256 && c < 256 && d < 256);
    FUZZ_CHECK(*host == std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) +
                            "." + std::to_string(d));
  }
  FUZZ_CHECK(qm::SuiteServer::clean(*host) == host);
  return 0;
}

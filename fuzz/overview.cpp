// The overview reader on any body: no crash, no hang, and a notification text within its cap.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Check.h"
#include "core/Text.h"
#include "poller/Overview.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  auto bad = qm::overview::badChecks(body);
  if (!bad || bad->empty()) return 0;
  std::string text = qm::overview::describe(bad->front());
  std::size_t characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
  FUZZ_CHECK(characters <= qm::overview::kMaxDescribed);
  // The parser only hands on valid UTF-8, and the cut keeps it so.
  FUZZ_CHECK(qm::text::validUtf8(text));
  return 0;
}

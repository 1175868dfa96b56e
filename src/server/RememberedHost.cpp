#include "server/RememberedHost.h"

#include <cstddef>

#include "core/Files.h"
#include "core/Paths.h"
#include "core/Text.h"

namespace qm::SuiteServer {

std::string file() {
  return paths::suiteSupportDir() + "/server-host";
}

std::optional<std::string> saved() {
  auto text = files::read(file());
  if (!text || !text::validUtf8(*text)) return std::nullopt;
  std::string host = text::trim(*text, text::anySpace);
  if (host.empty()) return std::nullopt;
  // A control character (a NUL above all) is no part of a host, and would cut short the C
  // strings it is handed on in.
  for (std::size_t i = 0; i < host.size();) {
    unsigned cp = 0;
    i += text::decodeUtf8(host, i, cp);
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return std::nullopt;
  }
  return host;
}

std::optional<std::string> remembered(const Pending& pending) {
  return pending ? *pending : saved();
}

}  // namespace qm::SuiteServer

// The download name sanitiser on any suggestion: a plain, visible, stable file name that fits.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Check.h"
#include "core/Text.h"
#include "web/DownloadNames.h"

namespace {

bool plain(const std::string& name, std::size_t max) {
  if (name.empty() || name.size() > max || !qm::text::validUtf8(name)) return false;
  if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos) return false;
  for (const char* p = name.c_str(); *p; p = g_utf8_next_char(p)) {
    gunichar c = g_utf8_get_char(p);
    auto type = g_unichar_type(c);
    if (type == G_UNICODE_CONTROL || type == G_UNICODE_FORMAT) return false;
  }
  return true;
}

bool trimmed(const std::string& name) {
  gunichar first = g_utf8_get_char(name.c_str());
  gunichar last = g_utf8_get_char(g_utf8_find_prev_char(name.c_str(), name.c_str() + name.size()));
  return first != '.' && !g_unichar_isspace(first) && last != '.' && !g_unichar_isspace(last);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string suggested(reinterpret_cast<const char*>(data), size);
  std::string name = qm::web::safeFileName(suggested);
  FUZZ_CHECK(plain(name, 255) && trimmed(name));
  FUZZ_CHECK(qm::web::safeFileName(name) == name);
  gchar* nfc = g_utf8_normalize(name.c_str(), -1, G_NORMALIZE_NFC);
  FUZZ_CHECK(nfc && name == nfc);
  g_free(nfc);
  for (int n : {2, 10000}) {
    std::string numbered = qm::web::numberedName(name, n);
    FUZZ_CHECK(plain(numbered, 255) && numbered.front() != '.');
  }
  FUZZ_CHECK(plain(qm::web::numberedName(name, 3, 40), 40));
  return 0;
}

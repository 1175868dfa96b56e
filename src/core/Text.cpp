#include "core/Text.h"

namespace qm::text {

namespace {

bool lineEnd(unsigned cp) {
  return (cp >= '\n' && cp <= '\r') || cp == 0x85 || cp == 0x2028 || cp == 0x2029;
}

// The length of the dropped character at s[i], or 0.
std::size_t droppedAt(const std::string& s, std::size_t i, Drops drops) {
  unsigned cp = 0;
  std::size_t n = decodeUtf8(s, i, cp);
  return n && drops(cp) ? n : 0;
}

}  // namespace

bool asciiSpace(unsigned cp) {
  return cp == ' ' || cp == '\t' || (cp >= '\n' && cp <= '\r');
}

bool anySpace(unsigned cp) {
  return spaceInLine(cp) || lineEnd(cp);
}

bool spaceInLine(unsigned cp) {
  return cp == ' ' || cp == '\t' || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) ||
         cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

std::string trim(const std::string& s, Drops drops) {
  std::size_t start = 0, n = 0;
  while (start < s.size() && (n = droppedAt(s, start, drops))) start += n;
  return trimEnd(s.substr(start), drops);
}

std::string trimEnd(const std::string& s, Drops drops) {
  // Read forward, so that a multi-byte character is seen from its first byte.
  std::size_t end = 0;
  for (std::size_t i = 0; i < s.size();) {
    if (std::size_t n = droppedAt(s, i, drops)) {
      i += n;
    } else {
      end = ++i;
    }
  }
  return s.substr(0, end);
}

std::size_t decodeUtf8(const std::string& s, std::size_t i, unsigned& cp) {
  auto c = static_cast<unsigned char>(s[i]);
  std::size_t len;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
      cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

bool validUtf8(const std::string& s) {
  unsigned cp;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = decodeUtf8(s, i, cp);
    if (!len) return false;
    i += len;
  }
  return true;
}

}  // namespace qm::text

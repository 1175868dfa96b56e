#include "web/DownloadNames.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>

#include "core/Handle.h"
#include "core/Text.h"

namespace qm::web {

namespace {

constexpr int kMaxTries = 10000;
// Below this a name keeps too little of itself to be worth saving under.
constexpr std::size_t kShortestLimit = 16;

// Cuts s to at most max bytes without splitting a character (s is valid UTF-8).
std::string cut(const std::string& s, std::size_t max) {
  if (s.size() <= max) return s;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  return s.substr(0, end);
}

// Dots and white space at the ends: a leading dot hides a file (and names the shell's and
// tools' start-up files); trailing ones are easy to overlook.
bool trimmable(unsigned c) {
  return c == '.' || g_unichar_isspace(c);
}

// Characters that change how a name reads without being seen.
bool invisible(gunichar c) {
  switch (g_unichar_type(c)) {
    case G_UNICODE_CONTROL:
    case G_UNICODE_FORMAT:
    case G_UNICODE_LINE_SEPARATOR:
    case G_UNICODE_PARAGRAPH_SEPARATOR:
      return true;
    default:
      return false;
  }
}

// Splits at the last dot; a dot at the start or the end does not begin an extension.
void split(const std::string& name, std::string& stem, std::string& ext) {
  auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) {
    stem = name, ext.clear();
    return;
  }
  stem = name.substr(0, dot);
  ext = name.substr(dot + 1);
}

// stem + suffix + "." + ext, the stem shortened so the whole fits in max bytes.
std::string join(std::string stem, const std::string& suffix, std::string ext, std::size_t max) {
  if (ext.size() > max / 4) {  // not a real extension; keep it part of the stem
    stem += "." + ext;
    ext.clear();
  }
  std::string dotExt = ext.empty() ? std::string() : "." + ext;
  std::size_t room = max - std::min(max, suffix.size() + dotExt.size());
  std::string kept = cut(stem, room);
  if (kept.size() < stem.size()) kept = text::trimEnd(kept, trimmable);
  return kept + suffix + dotExt;
}

}  // namespace

std::string safeFileName(const std::string& suggested) {
  std::string visible;
  visible.reserve(suggested.size());
  for (std::size_t i = 0; i < suggested.size();) {
    unsigned cp = 0;
    std::size_t len = text::decodeUtf8(suggested, i, cp);
    if (len == 0) {
      ++i;
      continue;
    }
    if (cp == '/')
      visible += '_';
    else if (!invisible(cp))
      visible.append(suggested, i, len);
    i += len;
  }
  GCharPtr normal(
      g_utf8_normalize(visible.data(), static_cast<gssize>(visible.size()), G_NORMALIZE_NFC));
  std::string out = text::trim(normal ? std::string(normal.get()) : visible, trimmable);
  if (out.empty()) return "download";
  return numberedName(out, 1);
}

std::string numberedName(const std::string& name, int n, std::size_t maxBytes) {
  if (n <= 1 && name.size() <= maxBytes) return name;
  std::string stem, ext;
  split(name, stem, ext);
  return join(stem, n <= 1 ? std::string() : " " + std::to_string(n), ext, maxBytes);
}

ClaimResult claimFile(const std::string& dir, const std::string& name) {
  std::size_t limit = kNameMax;
  for (int n = 1; n <= kMaxTries;) {
    std::string path = dir + "/" + numberedName(name, n, limit);
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                  0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      ::close(fd);
      return {path, {}};
    }
    // Some file systems take shorter names, and a deep folder leaves less of the path's room.
    if (errno == ENAMETOOLONG && limit > kShortestLimit) {
      limit = limit * 3 / 4;
      continue;
    }
    if (errno != EEXIST) return {std::nullopt, g_strerror(errno)};
    ++n;
  }
  return {std::nullopt, g_strerror(EEXIST)};
}

}  // namespace qm::web

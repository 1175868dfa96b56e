#include "web/DownloadNames.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>

#include "app/Files.h"

namespace qm::web {

namespace {

constexpr std::size_t kNameMax = 255;  // bytes, as the file systems allow
constexpr int kMaxTries = 10000;

// Cuts s to at most max bytes without splitting a character (s is valid UTF-8).
std::string cut(const std::string& s, std::size_t max) {
  if (s.size() <= max) return s;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  return s.substr(0, end);
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

// stem + suffix + "." + ext, the stem shortened so the whole fits in a file name.
std::string join(std::string stem, const std::string& suffix, std::string ext) {
  if (ext.size() > kNameMax / 4) {  // not a real extension; keep it part of the stem
    stem += "." + ext;
    ext.clear();
  }
  std::string dotExt = ext.empty() ? std::string() : "." + ext;
  return cut(stem, kNameMax - suffix.size() - dotExt.size()) + suffix + dotExt;
}

}  // namespace

std::string safeFileName(const std::string& suggested) {
  std::string out;
  out.reserve(suggested.size());
  for (std::size_t i = 0; i < suggested.size();) {
    unsigned cp = 0;
    std::size_t len = files::decodeUtf8(suggested, i, cp);
    if (len == 0) {
      ++i;
      continue;
    }
    bool control = cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
    if (cp == '/')
      out += '_';
    else if (!control)
      out.append(suggested, i, len);
    i += len;
  }
  bool meaningful = out.find_first_not_of(". ") != std::string::npos;
  if (!meaningful) return "download";
  if (out.size() <= kNameMax) return out;
  std::string stem, ext;
  split(out, stem, ext);
  return join(stem, "", ext);
}

std::string numberedName(const std::string& name, int n) {
  if (n <= 1) return name;
  std::string stem, ext;
  split(name, stem, ext);
  return join(stem, " " + std::to_string(n), ext);
}

ClaimResult claimFile(const std::string& dir, const std::string& name) {
  for (int n = 1; n <= kMaxTries; ++n) {
    std::string path = dir + "/" + numberedName(name, n);
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                  0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      ::close(fd);
      return {path, {}};
    }
    if (errno != EEXIST) return {std::nullopt, g_strerror(errno)};
  }
  return {std::nullopt, g_strerror(EEXIST)};
}

}  // namespace qm::web

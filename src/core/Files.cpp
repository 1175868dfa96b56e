#include "core/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

namespace qm::files {

std::optional<std::string> read(const std::string& path, std::size_t maxBytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return std::nullopt;
  }
  std::string out;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
    if (out.size() > maxBytes) {  // grew while we read it
      ::close(fd);
      return std::nullopt;
    }
  }
  ::close(fd);
  return out;
}

static bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // a write that takes nothing has no room
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

constexpr const char* kTempChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kTempSuffix = 6;
// A temporary older than this belongs to no write still running: each takes milliseconds.
constexpr time_t kStaleSeconds = 60;

bool isPrivate(mode_t mode) {
  return (mode & 077) == 0;
}

// Temporaries are hidden and carry a marker no other program uses, so that only what this app
// made is ever removed: ".<name>.quarn-tmp.XXXXXX" beside <name>.
constexpr const char* kTempMarker = ".quarn-tmp.";

std::string tempPrefix(const std::string& base) {
  return "." + base + kTempMarker;
}

bool isTempOf(const std::string& name, const std::string& base) {
  const std::string prefix = tempPrefix(base);
  return name.size() == prefix.size() + kTempSuffix && name.starts_with(prefix) &&
         name.find_first_not_of(kTempChars, prefix.size()) == std::string::npos;
}

std::pair<std::string, std::string> splitPath(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {parent(path), path.substr(slash + 1)};
}

// A crash between creating a temporary and renaming it leaves it beside the file, for the
// sign-in a second copy of the token.
void removeStaleTemps(const std::string& dir, const std::string& base) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(d)) {
    if (!isTempOf(e->d_name, base)) continue;
    struct stat st {};
    if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid() && now - st.st_mtime >= kStaleSeconds)
      ::unlinkat(::dirfd(d), e->d_name, 0);
  }
  ::closedir(d);
}

// The rename is an entry of the folder: until the folder reaches the disk, a power cut can
// bring the old file back.
void syncFolder(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Opened like mkstemp's, but with `mode`, so that the kernel applies the umask to it.
int createTemp(const std::string& dir, const std::string& base, mode_t mode, std::string& name) {
  unsigned seed = static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(::time(nullptr));
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = dir + "/" + tempPrefix(base);
    for (std::size_t i = 0; i < kTempSuffix; ++i) name += kTempChars[::rand_r(&seed) % 62];
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool writeAtomic(const std::string& path, const std::string& content, mode_t mode) {
  auto [dir, base] = splitPath(path);
  removeStaleTemps(dir, base);
  std::string name;
  int fd = createTemp(dir, base, isPrivate(mode) ? 0600 : mode, name);
  if (fd < 0) return false;
  bool ok = (!isPrivate(mode) || ::fchmod(fd, mode) == 0) &&
            writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(name.c_str(), path.c_str()) == 0) {
    syncFolder(dir);
    return true;
  }
  int why = errno;  // the failure's, not the clean-up's
  ::unlink(name.c_str());
  errno = why;
  return false;
}

bool makeDirs(const std::string& path, mode_t mode) {
  if (path.empty()) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
    return S_ISDIR(st.st_mode);
  }
  std::string p = parent(path);
  // A parent that cannot be made makes this mkdir fail too, with the reason that matters.
  if (!p.empty() && p != path) (void)makeDirs(p, mode);
  if (::mkdir(path.c_str(), mode) == 0) {
    if (isPrivate(mode)) ::chmod(path.c_str(), mode);  // exactly, whatever the umask
    return true;
  }
  if (errno != EEXIST || ::stat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
  return S_ISDIR(st.st_mode);
}

bool append(const std::string& path, const std::string& data, mode_t mode) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, mode);
  if (fd < 0) return false;
  bool ok = writeAll(fd, data.data(), data.size());
  int why = errno;
  if (::close(fd) != 0) return false;
  errno = why;
  return ok;
}

bool remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string parent(const std::string& path) {
  auto pos = path.find_last_of('/');
  if (pos == std::string::npos) return {};
  if (pos == 0) return "/";
  return path.substr(0, pos);
}

}  // namespace qm::files

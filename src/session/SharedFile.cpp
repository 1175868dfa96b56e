#include "session/SharedFile.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "core/Files.h"
#include "core/Log.h"

namespace qm {

SharedFile::SharedFile(MainLoop& loop, std::function<std::string()> path, mode_t mode)
    : loop_(loop), path_(std::move(path)), mode_(mode) {}

bool SharedFile::put(const std::optional<std::string>& value) {
  if (retry_) loop_.cancel(std::exchange(retry_, 0));
  pending_ = value;
  held_ = files::read(path_());
  return attempt();
}

const std::optional<std::optional<std::string>>& SharedFile::pending() {
  if (pending_ && files::read(path_()) != held_) {
    log(path_() + " was changed by another app: the value still to land there is dropped");
    if (retry_) loop_.cancel(std::exchange(retry_, 0));
    pending_.reset();
  }
  return pending_;
}

bool SharedFile::attempt() {
  const std::string path = path_();
  bool landed;
  if (*pending_) {
    // The folder also holds the suite's sign-in, so whoever creates it first keeps it private.
    landed =
        files::makeDirs(files::parent(path), 0700) && files::writeAtomic(path, **pending_, mode_);
  } else {
    landed = files::remove(path) || errno == ENOENT;
  }
  if (landed) {
    pending_.reset();
    return true;
  }
  log(std::string(*pending_ ? "could not write " : "could not remove ") + path + ": " +
      std::strerror(errno) + "; trying again in a few seconds");
  retry_ = loop_.after(retrySeconds, [this] {
    retry_ = 0;
    if (pending()) attempt();
  });
  return false;
}

}  // namespace qm

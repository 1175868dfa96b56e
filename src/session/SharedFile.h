#pragma once
// A file shared with the suite's other apps, written so that a value counts as shared only once
// it is on disk: a write that fails is tried again, a few seconds apart, until it lands, a
// newer value replaces it, or another app changes the file meanwhile.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/MainLoop.h"
#include "platform/Scoped.h"

namespace qm {

class SharedFile {
 public:
  static constexpr double retrySeconds = 3.0;

  // `path` is asked at each try (the home folder is read each time). The folder is made 700 when
  // missing; the file gets `mode`.
  SharedFile(MainLoop& loop, std::function<std::string()> path, mode_t mode);
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  // Writes the value, or removes the file for none; true when that is on disk now. Otherwise it
  // is tried again until it lands or the next put().
  bool put(const std::optional<std::string>& value);
  // The value still to land, while one is. Once the file no longer holds what it held at put(),
  // another app wrote it since: its value counts, and this one is dropped.
  const std::optional<std::optional<std::string>>& pending();

 private:
  bool attempt();

  ScopedLoop loop_;
  std::function<std::string()> path_;
  mode_t mode_;
  std::optional<std::optional<std::string>> pending_;
  std::optional<std::string> held_;  // the file's content at put(); none when absent or unread
  TimerId retry_ = 0;
};

}  // namespace qm

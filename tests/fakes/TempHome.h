#pragma once
// Points $HOME at a fresh temporary folder for one test, with the XDG folders unset so they
// follow it; everything is put back afterwards.

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/Files.h"

namespace qm::test {

// A file written for a test, its folder made first.
inline void writeFile(const std::string& path, const std::string& text, mode_t mode = 0666) {
  if (!files::makeDirs(files::parent(path)) || !files::writeAtomic(path, text, mode))
    throw std::runtime_error("cannot write " + path);
}

class TempHome {
 public:
  TempHome() {
    char tmpl[] = "/tmp/quarn-home-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    for (const char* v :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
      const char* old = getenv(v);
      saved_.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
      unsetenv(v);
    }
    setenv("HOME", path_.c_str(), 1);
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    for (auto& [k, v] : saved_)
      v ? (void)setenv(k.c_str(), v->c_str(), 1) : (void)unsetenv(k.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace qm::test

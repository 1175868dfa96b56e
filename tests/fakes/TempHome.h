#pragma once
// Points $HOME (and the XDG folders) at a fresh temporary folder for one test.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

namespace qm::test {

class TempHome {
 public:
  TempHome() {
    for (const char* v : kVars) saved_.emplace_back(v, get(v));
    char tmpl[] = "/tmp/quarn-home-XXXXXX";
    char* d = mkdtemp(tmpl);
    if (!d) throw std::runtime_error("mkdtemp failed");
    path_ = d;
    setenv("HOME", path_.c_str(), 1);
    for (const char* v : kVars)
      if (std::string(v) != "HOME") unsetenv(v);
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    for (auto& [k, v] : saved_) {
      if (v)
        setenv(k.c_str(), v->c_str(), 1);
      else
        unsetenv(k.c_str());
    }
  }
  const std::string& path() const { return path_; }

 private:
  static std::optional<std::string> get(const char* v) {
    const char* s = getenv(v);
    return s ? std::optional<std::string>(s) : std::nullopt;
  }
  static constexpr const char* kVars[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                          "XDG_STATE_HOME", "XDG_CACHE_HOME"};
  std::string path_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace qm::test

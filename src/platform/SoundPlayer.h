#pragma once

#include <memory>
#include <string>

#include "platform/Sound.h"

namespace qm {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // None when the file cannot be opened.
  virtual std::unique_ptr<Sound> open(const std::string& path) = 0;
};

}  // namespace qm

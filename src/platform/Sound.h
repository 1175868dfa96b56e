#pragma once

#include <functional>

namespace qm {

class Sound {
 public:
  virtual ~Sound() = default;
  // Starts from the beginning. `started` is called once, on the main thread, when the sound has
  // either begun to play (true) or failed (false), errors reported after the start included;
  // never once the sound was stopped or destroyed before that.
  virtual void play(std::function<void(bool)> started) = 0;
  virtual void stop() = 0;
  virtual void setVolume(float volume) = 0;
  virtual bool isPlaying() const = 0;
  // Current position in seconds.
  virtual double currentTime() const = 0;
};

}  // namespace qm

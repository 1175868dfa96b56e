#pragma once
// Sound, settings, the bundle and tool processes.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // None when the file cannot be opened.
  virtual std::unique_ptr<Sound> open(const std::string& path) = 0;
};

// User defaults ("showIntro", "introSound").
class Settings {
 public:
  virtual ~Settings() = default;
  // None when the key is absent or its value is not a Boolean.
  virtual std::optional<bool> getBool(const std::string& key) = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
};

// The app's bundle folder: Info.json and the resources beside it.
class Bundle {
 public:
  virtual ~Bundle() = default;
  // The string value of an Info.json key; none when absent or not a string.
  virtual std::optional<std::string> infoString(const std::string& key) = 0;
  // CFBundleIdentifier, when present.
  virtual std::optional<std::string> identifier() = 0;
  // The path of a resource file (e.g. "intro.html") when it exists.
  virtual std::optional<std::string> resource(const std::string& name) = 0;
};

class ToolRunner {
 public:
  virtual ~ToolRunner() = default;
  // Runs the program with the arguments, output discarded, and waits for it; kills it after
  // `timeoutSeconds`. Returns the exit status, or -1 when it could not run or was killed.
  virtual int run(const std::string& program, const std::vector<std::string>& args,
                  double timeoutSeconds = 30) = 0;
};

// What may make a server that did not answer reachable again: the network changing, the computer
// waking from sleep.
class NetworkEvents {
 public:
  virtual ~NetworkEvents() = default;
  // Calls fn on the main thread with what happened, while the returned handle lives.
  virtual std::shared_ptr<void> watch(std::function<void(const std::string&)> fn) = 0;
};

}  // namespace qm

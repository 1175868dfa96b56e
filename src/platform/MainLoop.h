#pragma once
// Main loop and timers. Everything the logic does runs on the main thread; these are the only
// ways it defers work.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace qm {

using TimerId = std::uint64_t;

class MainLoop {
 public:
  virtual ~MainLoop() = default;
  // Runs fn on the main thread soon, after the current callback returns.
  virtual void post(std::function<void()> fn) = 0;
  // Runs fn once after `seconds`; the id may be passed to cancel.
  virtual TimerId after(double seconds, std::function<void()> fn) = 0;
  // Runs fn every `seconds` until cancelled.
  virtual TimerId every(double seconds, std::function<void()> fn) = 0;
  // Cancelling an id that already fired or was cancelled does nothing.
  virtual void cancel(TimerId id) = 0;
  // Runs work on a worker thread, then done on the main thread. For heavy parsing of server
  // data: work touches nothing but what it captured.
  virtual void background(std::function<void()> work, std::function<void()> done) = 0;
};

// Runs work on a worker thread and hands its result to done on the main thread.
template <typename T>
void inBackground(MainLoop& loop, std::function<T()> work, std::function<void(T)> done) {
  auto result = std::make_shared<std::optional<T>>();
  loop.background([result, work = std::move(work)] { result->emplace(work()); },
                  [result, done = std::move(done)] { done(std::move(**result)); });
}

}  // namespace qm

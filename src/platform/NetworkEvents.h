#pragma once

#include <functional>
#include <memory>
#include <string>

namespace qm {

// What may make a server that did not answer reachable again: the network changing, the computer
// waking from sleep.
class NetworkEvents {
 public:
  virtual ~NetworkEvents() = default;
  // Calls fn on the main thread with what happened, while the returned handle lives.
  virtual std::shared_ptr<void> watch(std::function<void(const std::string&)> fn) = 0;
};

}  // namespace qm

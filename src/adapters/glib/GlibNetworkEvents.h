#pragma once
// NetworkEvents on GIO: GNetworkMonitor's "network-changed" and logind's PrepareForSleep on the
// system bus. Nothing is connected until something watches.

#include "platform/NetworkEvents.h"

namespace qm {

class GlibNetworkEvents : public NetworkEvents {
 public:
  std::shared_ptr<void> watch(std::function<void(const std::string&)> fn) override;
};

}  // namespace qm

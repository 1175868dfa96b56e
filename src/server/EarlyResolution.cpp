#include "server/EarlyResolution.h"

#include "core/Constants.h"
#include "server/SuiteServer.h"

namespace qm {

EarlyResolution::EarlyResolution(Http& http, Bundle& bundle, MainLoop& loop)
    : http_(http), loop_(loop) {
  SuiteServer::resolve(http_, bundle, PORT, kProbePath,
                       life_.guard([this](std::optional<std::string> host) { finish(host); }));
}

bool EarlyResolution::take(Done done) {
  if (taken_) return false;
  taken_ = true;
  if (known_)
    loop_.post([this, done = std::move(done)] { done(host_); });
  else
    waiting_ = std::move(done);
  return true;
}

void EarlyResolution::finish(std::optional<std::string> host) {
  known_ = true;
  host_ = std::move(host);
  if (waiting_) std::exchange(waiting_, nullptr)(host_);
}

}  // namespace qm

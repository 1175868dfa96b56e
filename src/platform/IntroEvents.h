#pragma once

#include "platform/IntroView.h"
#include "platform/ScriptMessage.h"

namespace qm {

// The intro view's page: its "qm" messages and the end of its load.
class IntroEvents {
 public:
  virtual ~IntroEvents() = default;
  virtual void onIntroMessage(const ScriptMessage& body) = 0;
  virtual void onIntroLoadFinished(IntroView& view) = 0;
};

}  // namespace qm

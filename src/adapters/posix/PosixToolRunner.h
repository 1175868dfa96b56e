#pragma once
// Runs a tool as a child process and waits for it on the calling thread, without running any
// event loop: the caller is blocked, as a synchronous tool run should be.

#include "platform/ToolRunner.h"

namespace qm {

class PosixToolRunner : public ToolRunner {
 public:
  // Standard input, output and error go to /dev/null and no other descriptor is inherited; the
  // environment and working folder are the app's. A tool still running after timeoutSeconds is
  // killed, with whatever it started in its process group, and counts as failed (-1), as does one
  // that cannot be started or dies by a signal.
  int run(const std::string& program, const std::vector<std::string>& args,
          double timeoutSeconds = 30) override;
};

}  // namespace qm

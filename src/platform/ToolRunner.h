#pragma once
// Tool processes.

#include <string>
#include <vector>

namespace qm {

class ToolRunner {
 public:
  virtual ~ToolRunner() = default;
  // Runs the program with the arguments, output discarded, and waits for it; kills it after
  // `timeoutSeconds`. Returns the exit status, or -1 when it could not run or was killed.
  virtual int run(const std::string& program, const std::vector<std::string>& args,
                  double timeoutSeconds = 30) = 0;
};

}  // namespace qm

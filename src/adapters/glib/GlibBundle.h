#pragma once

#include <optional>
#include <string>

#include "platform/Bundle.h"

namespace qm {

// Info.json and the resources in the bundle folder.
class GlibBundle : public Bundle {
 public:
  explicit GlibBundle(std::string dir);
  std::optional<std::string> infoString(const std::string& key) override;
  std::optional<std::string> identifier() override;
  std::optional<std::string> resource(const std::string& name) override;
  const std::string& dir() const { return dir_; }
  // $QUARN_BUNDLE_DIR; else "bundle" beside the program (the build folder); else
  // share/quillmarsh-quarn of the program's prefix.
  static std::string locate(const std::string& programPath);

 private:
  std::string dir_;
};

// `relative` resolved against the folder of the running program (`programPath`, argv[0], when
// the system does not tell it), so that nothing depends on where the build meant to install it.
std::string besideProgram(const std::string& relative, const std::string& programPath = {});

}  // namespace qm

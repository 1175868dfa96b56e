#pragma once

#include <cstdint>
#include <string>

namespace qm {

using DownloadId = std::uint64_t;

// The downloads of the web views' network session.
class DownloadEvents {
 public:
  virtual ~DownloadEvents() = default;
  // The destination is a full path the engine writes to; the file at that path belongs to the
  // download (it may have been created empty to reserve the name). An empty path cancels the
  // download.
  virtual std::string downloadDestination(DownloadId id, const std::string& suggestedName) = 0;
  virtual void onDownloadFinished(DownloadId id) = 0;
  virtual void onDownloadFailed(DownloadId id, const std::string& error) = 0;
  // The bytes received so far, and the size the server announced (0 when it gave none); called
  // as data arrives, after the destination was chosen.
  virtual void onDownloadProgress(DownloadId id, std::uint64_t received,
                                  std::uint64_t expected) = 0;
};

}  // namespace qm

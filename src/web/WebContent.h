#pragma once
// What the pages may do: which navigations stay in the window, what is saved as a file, what
// a new window opens, and the script alert and confirm panels.

#include <map>
#include <optional>
#include <string>

#include "core/ServerInUse.h"
#include "platform/ContentEvents.h"
#include "platform/Desktop.h"
#include "platform/DownloadEvents.h"
#include "platform/MainLoop.h"
#include "platform/Notifier.h"
#include "platform/Scoped.h"
#include "platform/Ui.h"
#include "web/DownloadProgress.h"

namespace qm {

class WebContent : public ContentEvents, public DownloadEvents {
 public:
  WebContent(Desktop& desktop, Ui& ui, Notifier& notifier, MainLoop& loop,
             const ServerInUse& server);
  WebContent(const WebContent&) = delete;
  WebContent& operator=(const WebContent&) = delete;

  bool allowNavigation(const std::optional<std::string>& url) override;
  ResponsePolicy decideResponse(const std::string& contentDisposition,
                                bool canShowMimeType) override;
  void onNewWindowRequest(const std::optional<std::string>& url) override;
  void onScriptAlert(const std::string& message, std::function<void()> done) override;
  void onScriptConfirm(const std::string& message, std::function<void(bool)> done) override;

  std::string downloadDestination(DownloadId id, const std::string& suggestedName) override;
  void onDownloadFinished(DownloadId id) override;
  void onDownloadFailed(DownloadId id, const std::string& error) override;
  void onDownloadProgress(DownloadId id, std::uint64_t received, std::uint64_t expected) override;

 private:
  void showDownloadFailed(const std::string& error);
  void reveal(const std::string& path);
  void showProgress();
  std::string downloadsDir();

  Desktop& desktop_;
  Ui& ui_;
  Notifier& notifier_;
  const ServerInUse& server_;
  ScopedLoop loop_;
  // Downloads under way and the files they write.
  std::map<DownloadId, std::string> downloads_;
  // A page can fail or finish downloads by the hundred: one failure alert at a time, and the
  // file manager shown at most once per kRevealSeconds, then with the latest file.
  bool failureShowing_ = false;
  bool revealPaused_ = false;
  std::optional<std::string> toReveal_;
  // The launcher's progress: sent at once when it appears or goes, in between at most once per
  // kProgressSeconds, not once per chunk of data.
  std::map<DownloadId, web::Transfer> transfers_;
  std::optional<double> progressShown_;
  bool progressPaused_ = false;
  Lifetime life_;
};

}  // namespace qm

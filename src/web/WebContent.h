#pragma once
// What the pages may do: which navigations stay in the window, what is saved as a file, what
// a new window opens, and the script alert and confirm panels.

#include <map>
#include <optional>
#include <string>

#include "core/ServerInUse.h"
#include "platform/Desktop.h"
#include "platform/Scoped.h"
#include "platform/Ui.h"

namespace qm {

class WebContent : public ContentEvents, public DownloadEvents {
 public:
  WebContent(Desktop& desktop, Ui& ui, MainLoop& loop, const ServerInUse& server);
  WebContent(const WebContent&) = delete;
  WebContent& operator=(const WebContent&) = delete;

  bool allowNavigation(bool mainView, const std::optional<std::string>& url) override;
  ResponsePolicy decideResponse(const std::string& contentDisposition,
                                bool canShowMimeType) override;
  void onNewWindowRequest(const std::optional<std::string>& url) override;
  void onScriptAlert(const std::string& message, std::function<void()> done) override;
  void onScriptConfirm(const std::string& message, std::function<void(bool)> done) override;

  std::string downloadDestination(DownloadId id, const std::string& suggestedName) override;
  void onDownloadFinished(DownloadId id) override;
  void onDownloadFailed(DownloadId id, const std::string& error) override;

  // Downloads under way and the files they write.
  const std::map<DownloadId, std::string>& downloads() const { return downloads_; }

 private:
  void showDownloadFailed(const std::string& error);
  void reveal(const std::string& path);
  std::string downloadsDir();

  Desktop& desktop_;
  Ui& ui_;
  const ServerInUse& server_;
  ScopedLoop loop_;
  std::map<DownloadId, std::string> downloads_;
  // A page can fail or finish downloads by the hundred: one failure alert at a time, and the
  // file manager shown at most once per kRevealSeconds, then with the latest file.
  bool failureShowing_ = false;
  bool revealPaused_ = false;
  std::optional<std::string> toReveal_;
  Lifetime life_;
};

}  // namespace qm

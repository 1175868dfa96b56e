#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qm {

enum class ResponsePolicy { Allow, Download };

// What the pages of the web views ask of the application; the engine calls these on the main
// thread.
class ContentEvents {
 public:
  virtual ~ContentEvents() = default;
  // Navigation action policy of the main view; returns true to allow, false to cancel.
  virtual bool allowNavigation(const std::optional<std::string>& url) = 0;
  // Response policy; contentDisposition is empty when absent or not HTTP.
  virtual ResponsePolicy decideResponse(const std::string& contentDisposition,
                                        bool canShowMimeType) = 0;
  // A page asked for a new window; no web view is ever created for it.
  virtual void onNewWindowRequest(const std::optional<std::string>& url) = 0;
  // Page script panels; each completion is called exactly once.
  virtual void onScriptAlert(const std::string& message, std::function<void()> done) = 0;
  virtual void onScriptConfirm(const std::string& message, std::function<void(bool)> done) = 0;
};

}  // namespace qm

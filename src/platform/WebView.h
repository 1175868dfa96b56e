#pragma once
// The main web view.

#include <optional>
#include <string>

namespace qm {

class WebView {
 public:
  virtual ~WebView() = default;
  // Loads an HTML string with no base URL, so the page's address has no host.
  virtual void loadHtml(const std::string& html) = 0;
  // Fails, as an unanswered request does, when no answer has come within 60 seconds.
  virtual void loadUrl(const std::string& url) = 0;
  virtual void reload() = 0;
  // Fetches the page and its resources again, bypassing the cache.
  virtual void reloadFromOrigin() = 0;
  // Ends the view's web process (its page no longer answers); the view shows nothing live until
  // something is loaded again.
  virtual void terminateWebProcess() = 0;
  // The address of the page shown now, if any.
  virtual std::optional<std::string> uri() const = 0;
  // The address of the page whose scripts run now: the last one committed, not one still
  // being asked for.
  virtual std::optional<std::string> committedUri() const = 0;
};

}  // namespace qm

#pragma once
// The main window's web view: loads, reloads, and a load that gets no answer in time.

#include <webkit/webkit.h>

#include <optional>
#include <string>
#include <vector>

#include "core/Handle.h"
#include "platform/WebView.h"

namespace qm::webkit {

class WebKitView : public WebView {
 public:
  // `loading`: the page the view is already loading, which loadHtml then does not start again.
  explicit WebKitView(WebKitWebView* view, std::string loading = {});
  WebKitView(const WebKitView&) = delete;
  WebKitView& operator=(const WebKitView&) = delete;
  void loadHtml(const std::string& html) override;
  void loadUrl(const std::string& url) override;
  void reload() override;
  void reloadFromOrigin() override;
  void terminateWebProcess() override;
  std::optional<std::string> uri() const override;
  std::optional<std::string> committedUri() const override { return committed_; }
  WebKitWebView* widget() const { return view_; }

 private:
  // A page loaded from a string is shown (its address is "about:blank").
  bool showsOwnPage() const;
  static gboolean onTimeout(gpointer self);
  static gboolean onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, char* uri, GError* error,
                               gpointer self);

  WebKitWebView* view_;  // owned by its parent widget
  // The time-out of a loadUrl that has had no answer yet.
  SourceId timeout_;
  bool timedOut_ = false;
  std::vector<SignalConnection> signals_;
  std::string html_;  // the page last loaded from a string
  std::optional<std::string> committed_;
  bool loadingHtml_;  // html_ is being loaded since the view was made
};

}  // namespace qm::webkit

#pragma once
// The web engine: the main web view, the intro overlay's view, the cookie store and the events
// that the engine delivers to the application.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// The transparent intro view lying on top of the main web view.
class IntroView {
 public:
  virtual ~IntroView() = default;
  // Runs a script in the page; result and errors are ignored.
  virtual void evaluate(const std::string& script) = 0;
  // Animates the view's opacity to 0 over `seconds`, then calls done.
  virtual void fadeOut(double seconds, std::function<void()> done) = 0;
  // Unregisters the "qm" channel and takes the view off the window. Nothing may be called
  // afterwards except the destructor.
  virtual void remove() = 0;
};

enum class SameSite { None, Lax, Strict };

struct Cookie {
  std::string name;
  std::string value;
  std::string domain;  // host-only cookies have no leading dot
  std::string path = "/";
  std::optional<double> expires;  // seconds since the epoch; none for a session cookie
  bool httpOnly = false;
  bool secure = false;
  SameSite sameSite = SameSite::None;
};

class CookieStore {
 public:
  virtual ~CookieStore() = default;
  // All cookies, in the store's order, delivered on the main thread.
  virtual void getAll(std::function<void(std::vector<Cookie>)> done) = 0;
  // Adds or replaces a cookie; done(false) when the store refused it.
  virtual void set(const Cookie& cookie, std::function<void(bool)> done) = 0;
  // Removes the stored cookie with the name, domain, path and value of `cookie`; done(false)
  // when the store failed to.
  virtual void remove(const Cookie& cookie, std::function<void(bool)> done) = 0;
  // Called on the main thread whenever the store's cookies change.
  virtual void setObserver(std::function<void()> onChange) = 0;
};

enum class ResponsePolicy { Allow, Download };

using DownloadId = std::uint64_t;

// A string posted by a page to a script channel; absent when the page posted something else.
using ScriptMessage = std::optional<std::string>;

// What the pages of the web views ask of the application; the engine calls these on the main
// thread.
class ContentEvents {
 public:
  virtual ~ContentEvents() = default;
  // Navigation action policy; returns true to allow, false to cancel.
  virtual bool allowNavigation(bool mainView, const std::optional<std::string>& url) = 0;
  // Response policy; contentDisposition is empty when absent or not HTTP.
  virtual ResponsePolicy decideResponse(const std::string& contentDisposition,
                                        bool canShowMimeType) = 0;
  // A page asked for a new window; no web view is ever created for it.
  virtual void onNewWindowRequest(const std::optional<std::string>& url) = 0;
  // Page script panels; each completion is called exactly once.
  virtual void onScriptAlert(const std::string& message, std::function<void()> done) = 0;
  virtual void onScriptConfirm(const std::string& message, std::function<void(bool)> done) = 0;
};

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

// The intro view's page: its "qm" messages and the end of its load.
class IntroEvents {
 public:
  virtual ~IntroEvents() = default;
  virtual void onIntroMessage(const ScriptMessage& body) = 0;
  virtual void onIntroLoadFinished(IntroView& view) = 0;
};

// A load of the main frame that failed: the address, and the error as the engine names it (the
// name of GLib's error domain and the code within it).
struct LoadFailure {
  std::string uri;
  std::string domain;
  int code = 0;
};

// Everything the main view reports, handed over when the window is made.
struct MainViewEvents {
  ContentEvents& content;
  DownloadEvents& downloads;
  // Messages posted to the "qmserver" channel.
  std::function<void(const ScriptMessage&)> onServerMessage;
  // Messages posted to the "qmapp" channel by the app's own pages.
  std::function<void(const ScriptMessage&)> onAppMessage = {};
  // The view's web process ended abnormally (crashed, or ran out of memory): the view shows
  // nothing live until something is loaded again.
  std::function<void()> onWebProcessEnded = {};
  // True when the app shows a page of its own for the failure instead of the engine's.
  std::function<bool(const LoadFailure&)> onLoadFailed = {};
  // The view's web process stopped answering (false), or answers again (true).
  std::function<void(bool)> onResponsiveChanged = {};
};

}  // namespace qm

// The periodic overview poll: the launcher badge counts the failing checks, and a rise in that
// count posts a notification.
#include <glib.h>

#include <memory>

#include "app/AppDelegate.h"
#include "app/Globals.h"
#include "app/Url.h"
#include "poller/Overview.h"

namespace qm {

namespace {

constexpr const char* kNotificationTitle = "Quillmarsh security";

void applyOverview(AppDelegate& app, const std::vector<overview::BadCheck>& bad) {
  auto n = static_cast<std::int64_t>(bad.size());
  app.platform.notifier.setBadge(n > 0 ? std::optional<std::int64_t>(n) : std::nullopt);
  if (app.lastBad >= 0 && n > app.lastBad)
    app.notify(kNotificationTitle, overview::describe(bad.front()));
  app.lastBad = n;
}

}  // namespace

void AppDelegate::poll() {
  if (!window) return;
  // Address and host are taken together now: the cookie must belong to the server the request
  // goes to, even if another server is put in use while the store answers.
  std::string url = BASE + "/api/overview";
  std::optional<std::string> host = urlHost(BASE);
  window->cookies().getAll([this, url, host](std::vector<Cookie> cookies) {
    const Cookie* signIn = nullptr;
    if (host) {
      for (const auto& c : cookies) {
        if (c.name == SuiteSession::cookieName && c.domain == *host) {
          signIn = &c;
          break;
        }
      }
    }
    if (!signIn) {
      platform.notifier.setBadge(std::nullopt);
      return;
    }
    HttpRequest request;
    request.url = url;
    request.timeoutSeconds = 60;
    request.headers = {{"Cookie", std::string(SuiteSession::cookieName) + "=" + signIn->value}};
    request.maxBodyBytes = overview::kMaxBytes;
    platform.http.get(request, [this](HttpResponse response) {
      if (!response.received || response.status != 200 || !response.body) return;
      if (auto bad = overview::badChecks(*response.body)) applyOverview(*this, *bad);
    });
  });
}

void AppDelegate::notify(const std::string& title, const std::string& body) {
  std::unique_ptr<gchar, decltype(&g_free)> id(g_uuid_string_random(), g_free);
  platform.notifier.post(id.get(), title, body);
}

}  // namespace qm

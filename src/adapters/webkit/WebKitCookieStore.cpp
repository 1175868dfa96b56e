// The network session's cookie manager as the app's cookie store.
#include <cmath>
#include <exception>
#include <memory>
#include <vector>

#include "adapters/webkit/WebKitCookieStore.h"
#include "core/Guard.h"
#include "core/Handle.h"

namespace qm {
template <>
struct FreeOf<SoupCookie> {
  static void free(SoupCookie* c) { soup_cookie_free(c); }
};
}  // namespace qm

namespace qm::webkit {

namespace {

std::string text(const char* s) {
  return s ? s : "";
}

Cookie fromSoup(SoupCookie* c) {
  Cookie out;
  out.name = text(soup_cookie_get_name(c));
  out.value = text(soup_cookie_get_value(c));
  out.domain = text(soup_cookie_get_domain(c));
  out.path = text(soup_cookie_get_path(c));
  if (GDateTime* d = soup_cookie_get_expires(c))
    out.expires = static_cast<double>(g_date_time_to_unix(d));
  out.httpOnly = soup_cookie_get_http_only(c);
  out.secure = soup_cookie_get_secure(c);
  switch (soup_cookie_get_same_site_policy(c)) {
    case SOUP_SAME_SITE_POLICY_STRICT:
      out.sameSite = SameSite::Strict;
      break;
    case SOUP_SAME_SITE_POLICY_LAX:
      out.sameSite = SameSite::Lax;
      break;
    default:
      out.sameSite = SameSite::None;
  }
  return out;
}

// Takes over the engine's list and each cookie in it.
std::vector<Owned<SoupCookie>> takeCookies(GList* list) {
  std::vector<Owned<SoupCookie>> out;
  out.reserve(g_list_length(list));
  for (GList* l = list; l; l = l->next) out.push_back(own(static_cast<SoupCookie*>(l->data)));
  g_list_free(list);
  return out;
}

Owned<SoupCookie> toSoup(const Cookie& c) {
  // A domain without a leading dot makes a host-only cookie, as a Set-Cookie without Domain.
  Owned<SoupCookie> out(
      soup_cookie_new(c.name.c_str(), c.value.c_str(), c.domain.c_str(), c.path.c_str(), -1));
  if (!out) return out;
  // Years 1..9999 are all GDateTime can hold; anything else stays a session cookie.
  if (c.expires && std::isfinite(*c.expires) && *c.expires > -62135596800.0 &&
      *c.expires < 253402300799.0) {
    Owned<GDateTime> when(g_date_time_new_from_unix_utc(static_cast<gint64>(*c.expires)));
    if (when) soup_cookie_set_expires(out.get(), when.get());
  }
  soup_cookie_set_http_only(out.get(), c.httpOnly);
  soup_cookie_set_secure(out.get(), c.secure);
  soup_cookie_set_same_site_policy(out.get(),
                                   c.sameSite == SameSite::Strict ? SOUP_SAME_SITE_POLICY_STRICT
                                   : c.sameSite == SameSite::Lax  ? SOUP_SAME_SITE_POLICY_LAX
                                                                  : SOUP_SAME_SITE_POLICY_NONE);
  return out;
}

// One outstanding request; the callback owns it. A cancelled request (the store is gone) calls
// nothing.
template <typename Done>
struct Pending {
  GPtr<GCancellable> cancellable;
  Done done;
  // The engine's request holds the cookie manager, which must not outlive the session it
  // belongs to: the session is let go only after the request is done with the manager.
  GPtr<WebKitNetworkSession> session;
  ~Pending() {
    if (session) g_idle_add_once([](gpointer s) { g_object_unref(s); }, session.release());
  }
};

class WebKitCookieStore : public CookieStore {
 public:
  explicit WebKitCookieStore(WebKitNetworkSession* session)
      : session_(GPtr<WebKitNetworkSession>::ref(session)),
        manager_(
            GPtr<WebKitCookieManager>::ref(webkit_network_session_get_cookie_manager(session))),
        cancellable_(GPtr<GCancellable>::adopt(g_cancellable_new())),
        changed_(manager_.get(),
                 g_signal_connect(manager_.get(), "changed", G_CALLBACK(onChanged), this)) {}
  ~WebKitCookieStore() override {
    changed_.reset();
    g_cancellable_cancel(cancellable_.get());
  }
  WebKitCookieStore(const WebKitCookieStore&) = delete;
  WebKitCookieStore& operator=(const WebKitCookieStore&) = delete;

  void getAll(std::function<void(std::vector<Cookie>)> done) override {
    webkit_cookie_manager_get_all_cookies(manager_.get(), cancellable_.get(), onAll,
                                          new AllPending{cancellable_, std::move(done), session_});
  }

  void set(const Cookie& cookie, std::function<void(bool)> done) override {
    Owned<SoupCookie> soup = toSoup(cookie);
    if (!soup) return later(std::move(done));
    webkit_cookie_manager_add_cookie(manager_.get(), soup.get(), cancellable_.get(),
                                     onStored<webkit_cookie_manager_add_cookie_finish>,
                                     new SetPending{cancellable_, std::move(done), session_});
  }

  void remove(const Cookie& cookie, std::function<void(bool)> done) override {
    Owned<SoupCookie> soup = toSoup(cookie);
    if (!soup) return later(std::move(done));
    webkit_cookie_manager_delete_cookie(manager_.get(), soup.get(), cancellable_.get(),
                                        onStored<webkit_cookie_manager_delete_cookie_finish>,
                                        new SetPending{cancellable_, std::move(done), session_});
  }

  void setObserver(std::function<void()> onChange) override { observer_ = std::move(onChange); }

 private:
  using AllPending = Pending<std::function<void(std::vector<Cookie>)>>;
  using SetPending = Pending<std::function<void(bool)>>;

  // A refusal without asking the engine, still asynchronous, as the engine's own answer would be.
  void later(std::function<void(bool)> done) {
    g_idle_add_once(
        [](gpointer data) {
          guarded([&] {
            std::unique_ptr<SetPending> p(static_cast<SetPending*>(data));
            if (!g_cancellable_is_cancelled(p->cancellable.get())) p->done(false);
          });
        },
        new SetPending{cancellable_, std::move(done), session_});
  }

  static void onChanged(WebKitCookieManager*, gpointer self) {
    guarded([&] {
      auto* store = static_cast<WebKitCookieStore*>(self);
      if (store->observer_) store->observer_();
    });
  }

  static void onAll(GObject* source, GAsyncResult* result, gpointer data) {
    guarded([&] {
      std::unique_ptr<AllPending> p(static_cast<AllPending*>(data));
      GError* error = nullptr;
      auto list = takeCookies(webkit_cookie_manager_get_all_cookies_finish(
          WEBKIT_COOKIE_MANAGER(source), result, &error));
      GErrorPtr owned(error);
      if (g_cancellable_is_cancelled(p->cancellable.get())) return;
      std::vector<Cookie> cookies;
      for (const auto& c : list) cookies.push_back(fromSoup(c.get()));
      p->done(std::move(cookies));
    });
  }

  // The end of an add or a delete, which the engine finishes alike.
  template <gboolean (*Finish)(WebKitCookieManager*, GAsyncResult*, GError**)>
  static void onStored(GObject* source, GAsyncResult* result, gpointer data) {
    guarded([&] {
      std::unique_ptr<SetPending> p(static_cast<SetPending*>(data));
      GError* error = nullptr;
      bool ok = Finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
      GErrorPtr owned(error);
      if (g_cancellable_is_cancelled(p->cancellable.get())) return;
      p->done(ok && !error);
    });
  }

  GPtr<WebKitNetworkSession> session_;
  GPtr<WebKitCookieManager> manager_;
  GPtr<GCancellable> cancellable_;
  SignalConnection changed_;
  std::function<void()> observer_;
};

}  // namespace

std::unique_ptr<CookieStore> makeCookieStore(WebKitNetworkSession* session) {
  return std::make_unique<WebKitCookieStore>(session);
}

}  // namespace qm::webkit

// The web views' policy decisions, new-window requests and script panels, and the network
// session's downloads, handed to the application's WebEvents.
#include <memory>
#include <optional>
#include <string>

#include "adapters/webkit/WebKitContent.h"
#include "adapters/webkit/WebKitPageFeatures.h"
#include "core/Guard.h"

namespace qm::webkit {

namespace {

struct ViewContext {
  ContentEvents* events;
  bool mainView;
};

// The session's downloads while someone watches them; a download that outlives the watch
// reports to nobody.
struct DownloadWatch : std::enable_shared_from_this<DownloadWatch> {
  DownloadEvents* events;
  DownloadId lastId = 0;
  SignalConnection started;
};

struct DownloadState {
  std::weak_ptr<DownloadWatch> watch;
  DownloadId id;
  bool failed = false;     // the engine reports `finished` after `failed`
  bool cancelled = false;  // cancelled here, because no destination could be claimed

  DownloadEvents* events() const {
    auto w = watch.lock();
    return w ? w->events : nullptr;
  }
};

std::optional<std::string> requestUri(WebKitNavigationAction* action) {
  WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!uri || !*uri) return std::nullopt;
  return std::string(uri);
}

std::string contentDisposition(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
  const char* value =
      headers ? soup_message_headers_get_list(headers, "Content-Disposition") : nullptr;
  return value ? value : "";
}

gboolean decidePolicy(ViewContext* ctx, WebKitPolicyDecision* decision,
                      WebKitPolicyDecisionType type) {
  {
    switch (type) {
      case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
        auto* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        // The intro view loads only the app's own page and goes nowhere else.
        if (!ctx->mainView || ctx->events->allowNavigation(requestUri(action)))
          webkit_policy_decision_use(decision);
        else
          webkit_policy_decision_ignore(decision);
        return TRUE;
      }
      case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
        // Every new window is decided by `create`, so a sibling app's port is never mistaken
        // for an ordinary external link.
        if (!ctx->mainView) return FALSE;
        webkit_policy_decision_use(decision);
        return TRUE;
      case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
        auto* rd = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        auto policy = ctx->events->decideResponse(
            contentDisposition(webkit_response_policy_decision_get_response(rd)),
            webkit_response_policy_decision_is_mime_type_supported(rd));
        if (policy == ResponsePolicy::Download)
          webkit_policy_decision_download(decision);
        else
          webkit_policy_decision_use(decision);
        return TRUE;
      }
      default:
        return FALSE;
    }
  }
}

gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer data) {
  auto* ctx = static_cast<ViewContext*>(data);
  gboolean handled = FALSE;
  guarded([&] { handled = decidePolicy(ctx, decision, type); });
  return handled;
}

GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  auto* ctx = static_cast<ViewContext*>(data);
  guarded([&] { ctx->events->onNewWindowRequest(requestUri(action)); });
  return nullptr;
}

using DialogRef = std::shared_ptr<WebKitScriptDialog>;

gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
  auto* ctx = static_cast<ViewContext*>(data);
  auto type = webkit_script_dialog_get_dialog_type(dialog);
  if (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM) return FALSE;
  gboolean handled = FALSE;
  guarded([&] {
    const char* text = webkit_script_dialog_get_message(dialog);
    std::string message = text ? text : "";
    DialogRef ref(webkit_script_dialog_ref(dialog), webkit_script_dialog_unref);
    if (type == WEBKIT_SCRIPT_DIALOG_ALERT) {
      ctx->events->onScriptAlert(message, [ref] { webkit_script_dialog_close(ref.get()); });
    } else {
      ctx->events->onScriptConfirm(message, [ref](bool ok) {
        webkit_script_dialog_confirm_set_confirmed(ref.get(), ok);
        webkit_script_dialog_close(ref.get());
      });
    }
    handled = TRUE;
  });
  return handled;
}

gboolean onDecideDestination(WebKitDownload* download, gchar* suggested, gpointer data) {
  auto* st = static_cast<DownloadState*>(data);
  std::string path;
  if (DownloadEvents* events = st->events())
    guarded([&] { path = events->downloadDestination(st->id, suggested ? suggested : ""); });
  if (path.empty()) {
    st->cancelled = true;
    webkit_download_cancel(download);
    return TRUE;
  }
  // The file at `path` was created empty to reserve the name; it belongs to this download.
  webkit_download_set_allow_overwrite(download, TRUE);
  webkit_download_set_destination(download, path.c_str());
  return TRUE;
}

void onDownloadFailed(WebKitDownload*, GError* error, gpointer data) {
  auto* st = static_cast<DownloadState*>(data);
  st->failed = true;
  DownloadEvents* events = st->events();
  if (st->cancelled || !events) return;
  guarded([&] { events->onDownloadFailed(st->id, error && error->message ? error->message : ""); });
}

void onDownloadFinished(WebKitDownload*, gpointer data) {
  auto* st = static_cast<DownloadState*>(data);
  DownloadEvents* events = st->events();
  if (st->failed || !events) return;
  guarded([&] { events->onDownloadFinished(st->id); });
}

void onReceivedData(WebKitDownload* download, guint64, gpointer data) {
  auto* st = static_cast<DownloadState*>(data);
  DownloadEvents* events = st->events();
  if (st->cancelled || !events) return;
  WebKitURIResponse* response = webkit_download_get_response(download);
  guint64 expected = response ? webkit_uri_response_get_content_length(response) : 0;
  guarded([&] {
    events->onDownloadProgress(st->id, webkit_download_get_received_data_length(download),
                               expected);
  });
}

void onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download, gpointer data) {
  auto* watch = static_cast<DownloadWatch*>(data);
  auto* st = new DownloadState{watch->weak_from_this(), ++watch->lastId};
  // Freed with the download; its handlers are gone by then.
  g_object_set_data_full(G_OBJECT(download), "quarn-download", st,
                         [](gpointer p) { delete static_cast<DownloadState*>(p); });
  g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), st);
  g_signal_connect(download, "failed", G_CALLBACK(onDownloadFailed), st);
  g_signal_connect(download, "finished", G_CALLBACK(onDownloadFinished), st);
  g_signal_connect(download, "received-data", G_CALLBACK(onReceivedData), st);
}

}  // namespace

std::vector<SignalConnection> connectWebContent(WebKitWebView* view, ContentEvents& events,
                                                bool mainView) {
  auto* ctx = new ViewContext{&events, mainView};
  // Freed with the view; the handlers are gone before that or with it.
  g_object_set_data_full(G_OBJECT(view), "quarn-web-content", ctx,
                         [](gpointer p) { delete static_cast<ViewContext*>(p); });
  std::vector<SignalConnection> out;
  out.emplace_back(view, g_signal_connect(view, "decide-policy", G_CALLBACK(onDecidePolicy), ctx));
  for (auto& c : connectPageFeatures(view)) out.push_back(std::move(c));
  if (!mainView) return out;
  out.emplace_back(view, g_signal_connect(view, "create", G_CALLBACK(onCreate), ctx));
  out.emplace_back(view, g_signal_connect(view, "script-dialog", G_CALLBACK(onScriptDialog), ctx));
  return out;
}

std::shared_ptr<void> watchDownloads(WebKitNetworkSession* session, DownloadEvents& events) {
  auto watch = std::make_shared<DownloadWatch>();
  watch->events = &events;
  watch->started = SignalConnection(
      session,
      g_signal_connect(session, "download-started", G_CALLBACK(onDownloadStarted), watch.get()));
  return watch;
}

}  // namespace qm::webkit

#include "platform/soup/SoupHttp.h"

#include <libsoup/soup.h>

#include "platform/glib/Guard.h"
#include "platform/glib/Handle.h"

namespace qm {

struct SoupHttp::Call {
  SoupHttp* http;
  HttpId id;
  HttpRequest request;
  std::function<void(HttpResponse)> done;
  GPtr<GCancellable> cancellable = GPtr<GCancellable>::adopt(g_cancellable_new());
  GPtr<SoupMessage> message;
  GPtr<GInputStream> stream;
  SourceId timeout;
  bool timedOut = false;
  HttpResponse response;
  std::string body;
  char buffer[16384];
};

namespace {

using CallPtr = std::shared_ptr<SoupHttp::Call>;

// Keeps the call alive across an async step; released in the callback.
struct Hold {
  CallPtr call;
};

}  // namespace

SoupHttp::SoupHttp() : session_(GPtr<SoupSession>::adopt(soup_session_new())) {
  // A request's own time-out is enforced per call with its cancellable.
  soup_session_set_timeout(session_.get(), 0);
  soup_session_set_idle_timeout(session_.get(), 30);
}

SoupHttp::~SoupHttp() {
  for (auto& [id, call] : calls_) {
    call->timeout.reset();
    call->done = nullptr;
    g_cancellable_cancel(call->cancellable.get());
  }
  soup_session_abort(session_.get());
}

void SoupHttp::finish(HttpId id, HttpResponse response) {
  auto it = calls_.find(id);
  if (it == calls_.end()) return;
  CallPtr call = it->second;
  calls_.erase(it);
  call->timeout.reset();
  if (call->stream)
    g_input_stream_close_async(call->stream.get(), G_PRIORITY_DEFAULT, nullptr, nullptr, nullptr);
  auto done = std::move(call->done);
  call->done = nullptr;
  if (done) done(std::move(response));
}

static void readNext(const CallPtr& call);

static void onRead(GObject* source, GAsyncResult* result, gpointer data) {
  guarded([&] {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    CallPtr call = hold->call;
    GError* error = nullptr;
    gssize n = g_input_stream_read_finish(G_INPUT_STREAM(source), result, &error);
    GErrorPtr err(error);
    if (!call->done) return;  // cancelled or finished
    if (n < 0) {
      // The status arrived but the body did not: deliver the status without a body.
      call->http->finish(call->id, call->response);
      return;
    }
    if (n == 0) {
      call->response.body = std::move(call->body);
      call->http->finish(call->id, call->response);
      return;
    }
    call->body.append(call->buffer, static_cast<std::size_t>(n));
    if (call->body.size() > call->request.maxBodyBytes) {
      call->body.clear();
      call->http->finish(call->id, call->response);
      return;
    }
    readNext(call);
  });
}

static void readNext(const CallPtr& call) {
  g_input_stream_read_async(call->stream.get(), call->buffer, sizeof call->buffer,
                            G_PRIORITY_DEFAULT, call->cancellable.get(), onRead, new Hold{call});
}

static void onSent(GObject* source, GAsyncResult* result, gpointer data) {
  guarded([&] {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    CallPtr call = hold->call;
    GError* error = nullptr;
    GInputStream* stream = soup_session_send_finish(SOUP_SESSION(source), result, &error);
    GErrorPtr err(error);
    if (stream) call->stream = GPtr<GInputStream>::adopt(stream);
    if (!call->done) return;
    if (!stream) {
      call->http->finish(call->id, HttpResponse{});
      return;
    }
    call->response.received = true;
    call->response.status = static_cast<int>(soup_message_get_status(call->message.get()));
    if (!call->request.wantBody) {
      call->http->finish(call->id, call->response);
      return;
    }
    readNext(call);
  });
}

HttpId SoupHttp::get(const HttpRequest& request, std::function<void(HttpResponse)> done) {
  HttpId id = next_++;
  auto call = std::make_shared<Call>();
  call->http = this;
  call->id = id;
  call->request = request;
  call->done = std::move(done);
  calls_[id] = call;

  Owned<GUri> uri(
      g_uri_parse(request.url.c_str(), static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS), nullptr));
  SoupMessage* msg = nullptr;
  if (uri) {
    const char* scheme = g_uri_get_scheme(uri.get());
    const char* host = g_uri_get_host(uri.get());
    if (scheme && (g_str_equal(scheme, "http") || g_str_equal(scheme, "https")) && host && *host)
      msg = soup_message_new_from_uri("GET", uri.get());
  }
  if (!msg) {
    // Completion never runs inside get().
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer d) -> gboolean {
          guarded([&] {
            auto* h = static_cast<Hold*>(d);
            // No done: cancelled, or the SoupHttp is gone and `http` dangles.
            if (h->call->done) h->call->http->finish(h->call->id, HttpResponse{});
          });
          return G_SOURCE_REMOVE;
        },
        new Hold{call}, [](gpointer d) { delete static_cast<Hold*>(d); });
    return id;
  }
  call->message = GPtr<SoupMessage>::adopt(msg);
  SoupMessageHeaders* headers = soup_message_get_request_headers(msg);
  for (auto& [name, value] : request.headers)
    soup_message_headers_replace(headers, name.c_str(), value.c_str());

  if (request.timeoutSeconds > 0) {
    auto* hold = new Hold{call};
    call->timeout = SourceId(g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(request.timeoutSeconds * 1000.0 + 0.5),
        [](gpointer d) -> gboolean {
          guarded([&] {
            CallPtr c = static_cast<Hold*>(d)->call;
            c->timeout.forget();
            c->timedOut = true;
            g_cancellable_cancel(c->cancellable.get());
            c->http->finish(c->id, HttpResponse{});
          });
          return G_SOURCE_REMOVE;
        },
        hold, [](gpointer d) { delete static_cast<Hold*>(d); }));
  }
  soup_session_send_async(session_.get(), msg, G_PRIORITY_DEFAULT, call->cancellable.get(), onSent,
                          new Hold{call});
  return id;
}

void SoupHttp::cancel(HttpId id) {
  auto it = calls_.find(id);
  if (it == calls_.end()) return;
  CallPtr call = it->second;
  calls_.erase(it);
  call->done = nullptr;
  call->timeout.reset();
  g_cancellable_cancel(call->cancellable.get());
}

}  // namespace qm

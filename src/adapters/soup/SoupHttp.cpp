#include "adapters/soup/SoupHttp.h"

#include <libsoup/soup.h>

#include <thread>

#include "adapters/glib/GlibProxyResolver.h"
#include "core/Guard.h"
#include "core/Handle.h"

namespace qm {

namespace {

// Runs fn on the thread that runs `context`. Neither side's context is the caller's own, so it
// is always queued, never run here.
void post(GMainContext* context, std::function<void()> fn) {
  g_main_context_invoke_full(
      context, G_PRIORITY_DEFAULT,
      [](gpointer f) -> gboolean {
        guarded([&] { (*static_cast<std::function<void()>*>(f))(); });
        return G_SOURCE_REMOVE;
      },
      new std::function<void()>(std::move(fn)),
      [](gpointer f) { delete static_cast<std::function<void()>*>(f); });
}

// One exchange; after get() hands it over, the worker thread's alone.
struct Call {
  Call(SoupHttp::Worker* w, HttpId i, const HttpRequest& r) : worker(w), id(i), request(r) {}
  SoupHttp::Worker* worker;
  HttpId id;
  HttpRequest request;
  GPtr<GCancellable> cancellable = GPtr<GCancellable>::adopt(g_cancellable_new());
  GPtr<SoupMessage> message;
  GPtr<GInputStream> stream;
  Owned<GSource> timeout;
  bool over = false;  // finished or cancelled: later callbacks only let go
  HttpResponse response;
  std::string body;
  char buffer[16384];
};

using CallPtr = std::shared_ptr<Call>;

}  // namespace

struct SoupHttp::Worker {
  Owned<GMainContext> home{g_main_context_ref_thread_default()};
  Owned<GMainContext> context{g_main_context_new()};
  Owned<GMainLoop> loop{g_main_loop_new(context.get(), FALSE)};
  std::weak_ptr<Waiting> waiting;
  // Read from the environment before the thread starts: another thread may change it later.
  std::optional<ProxySettings> proxy = environmentProxy();
  std::thread thread;
  // The worker thread's alone.
  GPtr<SoupSession> session;
  std::map<HttpId, CallPtr> calls;
  int steps = 0;  // asynchronous steps still to call back

  void run() {
    g_main_context_push_thread_default(context.get());
    // The session takes the thread-default context as its own.
    session = GPtr<SoupSession>::adopt(soup_session_new());
    // A request's own time-out is enforced per call with its cancellable.
    soup_session_set_timeout(session.get(), 0);
    soup_session_set_idle_timeout(session.get(), 30);
    soup_session_set_proxy_resolver(session.get(), makeProxyResolver(proxy).get());
    g_main_loop_run(loop.get());
    // Every cancelled step still calls back once; nothing may be left holding a call.
    while (steps > 0) g_main_context_iteration(context.get(), TRUE);
    session = {};
    g_main_context_pop_thread_default(context.get());
  }

  void start(const CallPtr& call);

  // Forgets the call; its late callbacks find it over.
  void end(const CallPtr& call) {
    call->over = true;
    calls.erase(call->id);
    call->timeout.reset();
    if (call->stream)
      g_input_stream_close_async(call->stream.get(), G_PRIORITY_DEFAULT, nullptr, nullptr, nullptr);
  }

  void finish(const CallPtr& call, HttpResponse response) {
    if (call->over) return;
    end(call);
    post(home.get(), [waiting = waiting, id = call->id, response = std::move(response)]() mutable {
      auto table = waiting.lock();
      if (!table) return;  // the SoupHttp is gone
      auto it = table->find(id);
      if (it == table->end()) return;  // cancelled
      auto done = std::move(it->second);
      table->erase(it);
      done(std::move(response));
    });
  }

  void drop(HttpId id) {
    auto it = calls.find(id);
    if (it == calls.end()) return;
    CallPtr call = it->second;
    end(call);
    g_cancellable_cancel(call->cancellable.get());
  }

  void stop() {
    while (!calls.empty()) drop(calls.begin()->first);
    soup_session_abort(session.get());
    g_main_loop_quit(loop.get());
  }
};

namespace {

// Keeps the call alive across an asynchronous step; released when the step calls back.
struct Hold {
  explicit Hold(CallPtr c) : call(std::move(c)) { ++call->worker->steps; }
  ~Hold() { --call->worker->steps; }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  CallPtr call;
};

void readNext(const CallPtr& call);

void onRead(GObject* source, GAsyncResult* result, gpointer data) {
  guarded([&] {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    CallPtr call = hold->call;
    GError* error = nullptr;
    gssize n = g_input_stream_read_finish(G_INPUT_STREAM(source), result, &error);
    GErrorPtr err(error);
    if (call->over) return;
    if (n < 0) {
      // The status arrived but the body did not: deliver the status without a body.
      call->worker->finish(call, call->response);
      return;
    }
    if (n == 0) {
      call->response.body = std::move(call->body);
      call->worker->finish(call, call->response);
      return;
    }
    call->body.append(call->buffer, static_cast<std::size_t>(n));
    if (call->body.size() > call->request.maxBodyBytes) {
      call->body.clear();
      call->worker->finish(call, call->response);
      return;
    }
    readNext(call);
  });
}

void readNext(const CallPtr& call) {
  g_input_stream_read_async(call->stream.get(), call->buffer, sizeof call->buffer,
                            G_PRIORITY_DEFAULT, call->cancellable.get(), onRead, new Hold(call));
}

void onSent(GObject* source, GAsyncResult* result, gpointer data) {
  guarded([&] {
    std::unique_ptr<Hold> hold(static_cast<Hold*>(data));
    CallPtr call = hold->call;
    GError* error = nullptr;
    GInputStream* stream = soup_session_send_finish(SOUP_SESSION(source), result, &error);
    GErrorPtr err(error);
    if (stream) call->stream = GPtr<GInputStream>::adopt(stream);
    if (call->over) return;
    if (!stream) {
      call->worker->finish(call, HttpResponse{});
      return;
    }
    call->response.received = true;
    call->response.status = static_cast<int>(soup_message_get_status(call->message.get()));
    if (!call->request.wantBody) {
      call->worker->finish(call, call->response);
      return;
    }
    readNext(call);
  });
}

gboolean onTimeout(gpointer data) {
  guarded([&] {
    CallPtr call = static_cast<Hold*>(data)->call;
    call->worker->finish(call, HttpResponse{});
    g_cancellable_cancel(call->cancellable.get());
  });
  return G_SOURCE_REMOVE;
}

}  // namespace

void SoupHttp::Worker::start(const CallPtr& call) {
  calls[call->id] = call;
  const HttpRequest& request = call->request;
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
    finish(call, HttpResponse{});
    return;
  }
  call->message = GPtr<SoupMessage>::adopt(msg);
  // A redirect would carry the request's own headers, the sign-in among them, to whatever host
  // the answer names.
  soup_message_add_flags(msg, SOUP_MESSAGE_NO_REDIRECT);
  SoupMessageHeaders* headers = soup_message_get_request_headers(msg);
  for (auto& [name, value] : request.headers)
    soup_message_headers_replace(headers, name.c_str(), value.c_str());

  if (request.timeoutSeconds > 0) {
    // Measured here, where nothing but exchanges runs.
    call->timeout.reset(
        g_timeout_source_new(static_cast<guint>(request.timeoutSeconds * 1000.0 + 0.5)));
    g_source_set_callback(call->timeout.get(), onTimeout, new Hold(call),
                          [](gpointer d) { delete static_cast<Hold*>(d); });
    g_source_attach(call->timeout.get(), context.get());
  }
  soup_session_send_async(session.get(), msg, G_PRIORITY_DEFAULT, call->cancellable.get(), onSent,
                          new Hold(call));
}

namespace {

// GLib 2.74's type system can deadlock when one thread registers a type with an interface while
// another runs a class initialiser that asks for that type: it happened at start-up, the worker
// making its session while the main thread connected to the bus. So what the worker's session
// and a plain HTTP exchange register, the proxy resolver's modules included, is registered
// here, on the constructing thread, before the worker exists.
void registerNetworkTypes() {
  g_object_unref(soup_session_new());
  g_object_unref(g_resolver_get_default());
  // Loads GIO's modules for it, registering their types.
  g_proxy_resolver_get_default();
  g_type_ensure(loopbackDirectResolverType());
  g_type_ensure(G_TYPE_SIMPLE_PROXY_RESOLVER);
  for (GType type : {G_TYPE_SOCKET_CLIENT,
                     G_TYPE_NETWORK_ADDRESS,
                     G_TYPE_INET_ADDRESS,
                     G_TYPE_PROXY_ADDRESS,
                     G_TYPE_PROXY_ADDRESS_ENUMERATOR,
                     G_TYPE_UNIX_SOCKET_ADDRESS,
                     G_TYPE_SOCKET,
                     G_TYPE_TCP_CONNECTION,
                     G_TYPE_UNIX_CONNECTION,
                     G_TYPE_DATA_INPUT_STREAM,
                     G_TYPE_DATA_OUTPUT_STREAM,
                     G_TYPE_MEMORY_INPUT_STREAM,
                     G_TYPE_TLS_CLIENT_CONNECTION,
                     G_TYPE_TLS_CERTIFICATE,
                     G_TYPE_TLS_PASSWORD,
                     G_TYPE_SOCKET_CONTROL_MESSAGE,
                     G_TYPE_UNIX_CREDENTIALS_MESSAGE,
                     G_TYPE_TASK,
                     SOUP_TYPE_MESSAGE,
                     SOUP_TYPE_LOGGER,
                     SOUP_TYPE_CACHE,
                     SOUP_TYPE_CONTENT_DECODER,
                     SOUP_TYPE_AUTH_MANAGER})
    g_type_ensure(type);
}

}  // namespace

SoupHttp::SoupHttp() : worker_(std::make_unique<Worker>()) {
  registerNetworkTypes();
  worker_->waiting = waiting_;
  worker_->thread = std::thread([w = worker_.get()] { guarded([&] { w->run(); }); });
}

// The completions go with waiting_, so none runs after this, even one already queued.
SoupHttp::~SoupHttp() {
  post(worker_->context.get(), [w = worker_.get()] { w->stop(); });
  worker_->thread.join();
}

HttpId SoupHttp::get(const HttpRequest& request, std::function<void(HttpResponse)> done) {
  HttpId id = next_++;
  (*waiting_)[id] = std::move(done);
  auto call = std::make_shared<Call>(worker_.get(), id, request);
  post(worker_->context.get(), [call] { call->worker->start(call); });
  return id;
}

void SoupHttp::cancel(HttpId id) {
  if (!waiting_->erase(id)) return;
  post(worker_->context.get(), [w = worker_.get(), id] { w->drop(id); });
}

}  // namespace qm

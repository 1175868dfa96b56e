#pragma once
// Http on libsoup 3. Every exchange and its time-out run on a thread of their own, so a main
// thread busy elsewhere (starting GTK and WebKit) cannot make an answer that came in time late;
// only the result is handed back to the main context. The session has no cookie jar.

#include <functional>
#include <map>
#include <memory>

#include "platform/Http.h"

namespace qm {

class SoupHttp : public Http {
 public:
  // Completions run on the context that is the thread-default one here.
  SoupHttp();
  ~SoupHttp() override;
  HttpId get(const HttpRequest& request, std::function<void(HttpResponse)> done) override;
  void cancel(HttpId id) override;

  // The thread, its context and session, and the calls under way there.
  struct Worker;

 private:
  using Waiting = std::map<HttpId, std::function<void(HttpResponse)>>;
  // The completions still due; main thread only. A result already queued on the main context
  // finds nothing here once its call is cancelled or this SoupHttp is gone.
  std::shared_ptr<Waiting> waiting_ = std::make_shared<Waiting>();
  HttpId next_ = 1;
  std::unique_ptr<Worker> worker_;
};

}  // namespace qm

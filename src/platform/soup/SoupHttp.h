#pragma once
// Http on libsoup 3, asynchronous on the main context. The session has no cookie jar.

#include <map>
#include <memory>

#include "platform/Http.h"
#include "platform/glib/Handle.h"

typedef struct _SoupSession SoupSession;

namespace qm {

class SoupHttp : public Http {
 public:
  SoupHttp();
  ~SoupHttp() override;
  HttpId get(const HttpRequest& request, std::function<void(HttpResponse)> done) override;
  void cancel(HttpId id) override;

  struct Call;
  // Delivers the response once and forgets the call.
  void finish(HttpId id, HttpResponse response);

 private:
  std::map<HttpId, std::shared_ptr<Call>> calls_;
  HttpId next_ = 1;
  GPtr<SoupSession> session_;
};

}  // namespace qm

#pragma once
// Asynchronous HTTP GET. No cookie jar: a request carries only the headers it is given and
// cookies in an answer are never stored. Redirects are never followed: a 3xx is the answer, so
// a request and its headers reach only the host it names.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm {

struct HttpRequest {
  std::string url;
  double timeoutSeconds = 60;
  std::vector<std::pair<std::string, std::string>> headers;
  // A body larger than this is not delivered (`body` stays empty); the status still is.
  std::size_t maxBodyBytes = 4 * 1024 * 1024;
  // When false the body is not read at all (probes).
  bool wantBody = true;
};

struct HttpResponse {
  // True when an HTTP response (status line and headers) arrived.
  bool received = false;
  int status = 0;
  // Present when wantBody was set and the whole body (within maxBodyBytes) was read.
  std::optional<std::string> body;
};

using HttpId = std::uint64_t;

class Http {
 public:
  virtual ~Http() = default;
  // The completion runs exactly once on the main thread, never before get() returns, unless the
  // request is cancelled first. A URL that does not parse completes with received == false.
  virtual HttpId get(const HttpRequest& request, std::function<void(HttpResponse)> done) = 0;
  // After cancel the completion is never called. Unknown or finished ids are ignored.
  virtual void cancel(HttpId id) = 0;
};

}  // namespace qm

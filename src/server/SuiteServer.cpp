// Placeholder until server resolution lands: always answers the local host.
#include "server/SuiteServer.h"

#include "app/Paths.h"

namespace qm::SuiteServer {

std::string file() {
  return paths::suiteSupportDir() + "/server-host";
}
std::optional<std::string> saved() {
  return std::nullopt;
}
void save(const std::optional<std::string>&) {}
std::vector<std::string> builtIn(Bundle&) {
  return {};
}
std::optional<std::string> clean(const std::string&) {
  return std::nullopt;
}
std::string base(const std::string& host, int port) {
  return "http://" + host + ":" + std::to_string(port);
}
std::vector<std::string> candidates(Bundle&) {
  return {"127.0.0.1"};
}
void resolve(Http& http, Bundle&, int port, const std::string& probe,
             std::function<void(std::optional<std::string>)> done) {
  HttpRequest req{base("127.0.0.1", port) + probe, 1.0, {}, 0, false};
  http.get(req, [done](HttpResponse r) {
    done(r.received && r.status < 500 ? std::optional<std::string>("127.0.0.1") : std::nullopt);
  });
}
std::string askPage(Bundle&, const std::string&, const std::optional<std::string>&) {
  return {};
}

}  // namespace qm::SuiteServer

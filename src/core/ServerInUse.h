#pragma once
// The suite server the window shows. Only the connection flow puts a server in use; everyone
// else reads BASE through a const reference.

#include <string>

#include "core/Constants.h"
#include "core/Url.h"

namespace qm {

class ServerInUse {
 public:
  // Base URL of the server in use: "http://" + host + ":" + PORT, no trailing slash. This
  // computer's until another server is put in use.
  const std::string& BASE() const { return base_; }
  // The host as it was put in use.
  const std::string& host() const { return host_; }
  void use(const std::string& host) { host_ = host, base_ = baseUrl(host, PORT); }

 private:
  std::string host_ = kLocalHost;
  std::string base_ = baseUrl(kLocalHost, PORT);
};

}  // namespace qm

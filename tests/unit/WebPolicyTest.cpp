#include <gtest/gtest.h>

#include <set>

#include "web/Policy.h"

namespace qm::web {
namespace {

using Nav = NavigationDecision;

TEST(WebPolicy, NavigationActions) {
  const std::string server = "http://quillmarsh-mac.local:8795";
  struct Case {
    bool mainView;
    std::optional<std::string> url;
    std::string base;
    Nav want;
  } cases[] = {
      {true, "http://127.0.0.1:8787/", server, Nav::Allow},
      {true, "http://localhost/x", server, Nav::Allow},
      {true, "http://LOCALHOST:9000/", server, Nav::Allow},
      {true, "http://127.0.0.2/", server, Nav::OpenExternally},  // only the exact loopback names
      {true, "http://quillmarsh-mac.local:8795/ui", server, Nav::Allow},
      {true, "http://quillmarsh-mac.local:1/", server, Nav::Allow},  // any port on the server
      {true, "https://quillmarsh-mac.local/", server, Nav::Allow},
      {true, "http://quillmarsh-mac.local/", "http://Quillmarsh-Mac.local:8795", Nav::Allow},
      {true, "https://elsewhere.test/", server, Nav::OpenExternally},
      {true, "http://elsewhere.test:8795/", server, Nav::OpenExternally},
      {true, "http://127.0.0.1@elsewhere.test/", server, Nav::OpenExternally},
      {true, "ftp://elsewhere.test/file", server, Nav::Allow},
      {true, "mailto:someone@elsewhere.test", server, Nav::Allow},
      {true, "about:blank", server, Nav::Allow},
      {true, "data:text/html,hi", server, Nav::Allow},
      {true, std::nullopt, server, Nav::Allow},
      {true, "not a url", server, Nav::Allow},
      // A base URL without a usable host does not keep anything inside.
      {true, "http://elsewhere.test/", "garbage", Nav::OpenExternally},
      {true, "http://elsewhere.test/", "", Nav::OpenExternally},
      // The old server host is external once another one is in use.
      {true, "http://old.test:8795/", "http://new.test:8795", Nav::OpenExternally},
      // Other views (the intro overlay) navigate freely.
      {false, "https://elsewhere.test/", server, Nav::Allow},
  };
  for (const auto& c : cases)
    EXPECT_EQ(decideNavigation(c.mainView, c.url, c.base), c.want)
        << c.url.value_or("(none)") << " base " << c.base << " main " << c.mainView;
}

TEST(WebPolicy, Responses) {
  struct Case {
    std::string disposition;
    bool canShow;
    ResponsePolicy want;
  } cases[] = {
      {"attachment; filename=\"report.pdf\"", true, ResponsePolicy::Download},
      {"form-data; x=attachment", true, ResponsePolicy::Download},
      {"inline", true, ResponsePolicy::Allow},
      {"", true, ResponsePolicy::Allow},
      {"Attachment; filename=a.pdf", true, ResponsePolicy::Allow},
      {"ATTACHMENT", true, ResponsePolicy::Allow},
      {"inline", false, ResponsePolicy::Download},
      {"", false, ResponsePolicy::Download},
  };
  for (const auto& c : cases)
    EXPECT_EQ(decideResponse(c.disposition, c.canShow), c.want)
        << c.disposition << " canShow " << c.canShow;
}

TEST(WebPolicy, NewWindows) {
  using Kind = NewWindowDecision::Kind;
  const std::string studio = "app.quillmarsh.studio.desktop";
  const std::string console = "app.quillmarsh.console.desktop";
  struct Case {
    std::optional<std::string> url;
    std::set<std::string> installed;
    Kind kind;
    std::string target;
  } cases[] = {
      {"http://127.0.0.1:8790/x", {studio}, Kind::LaunchApp, studio},
      {"http://elsewhere.test:8790/", {studio}, Kind::LaunchApp, studio},
      {"http://127.0.0.1:8787/", {console, studio}, Kind::LaunchApp, console},
      {"http://127.0.0.1:8787/", {studio}, Kind::OpenUri, "http://127.0.0.1:8787/"},
      {"http://127.0.0.1:8790/x", {}, Kind::OpenUri, "http://127.0.0.1:8790/x"},
      // No explicit port: the browser, even for the suite server itself.
      {"http://127.0.0.1/", {console, studio}, Kind::OpenUri, "http://127.0.0.1/"},
      {"http://127.0.0.1:8795/", {console, studio}, Kind::OpenUri, "http://127.0.0.1:8795/"},
      {"https://elsewhere.test/a?b", {}, Kind::OpenUri, "https://elsewhere.test/a?b"},
      {"mailto:someone@elsewhere.test", {}, Kind::OpenUri, "mailto:someone@elsewhere.test"},
      {std::nullopt, {studio}, Kind::Nothing, ""},
      {"", {studio}, Kind::Nothing, ""},
      // Local content and script are never handed to other applications.
      {"file:///etc/passwd", {}, Kind::Nothing, ""},
      {"FILE:///home/x/run.desktop", {}, Kind::Nothing, ""},
      {"javascript:alert(1)", {}, Kind::Nothing, ""},
      {"data:text/html,x", {}, Kind::Nothing, ""},
      {"about:blank", {}, Kind::Nothing, ""},
  };
  for (const auto& c : cases) {
    auto d =
        decideNewWindow(c.url, [&](const std::string& id) { return c.installed.count(id) > 0; });
    EXPECT_EQ(d.kind, c.kind) << c.url.value_or("(none)");
    EXPECT_EQ(d.target, c.target) << c.url.value_or("(none)");
  }
}

}  // namespace
}  // namespace qm::web

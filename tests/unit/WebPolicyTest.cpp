#include <gtest/gtest.h>

#include <set>

#include "web/Policy.h"

namespace qm::web {
namespace {

TEST(WebPolicy, NavigationActions) {
  const std::string server = "http://quillmarsh-mac.local:8795";
  const auto allow = NavigationDecision::Allow, out = NavigationDecision::OpenExternally;
  struct Case {
    bool mainView;
    std::optional<std::string> url;
    std::string base;
    NavigationDecision want;
  } cases[] = {
      {true, "http://127.0.0.1:8787/", server, allow},
      {true, "http://LOCALHOST/x", server, allow},
      {true, "http://127.0.0.2/", server, out},  // only the exact loopback names
      {true, "http://quillmarsh-mac.local:1/", server, allow},
      {true, "https://quillmarsh-mac.local/", "http://Quillmarsh-Mac.local:8795", allow},
      {true, "https://elsewhere.test/", server, out},
      {true, "http://127.0.0.1@elsewhere.test/", server, out},
      {true, "ftp://elsewhere.test/file", server, allow},
      {true, "mailto:someone@elsewhere.test", server, allow},
      {true, "data:text/html,hi", server, allow},
      {true, std::nullopt, server, allow},
      {true, "http://elsewhere.test/", "garbage", out},
      {true, "http://old.test:8795/", "http://new.test:8795", out},
      {false, "https://elsewhere.test/", server, allow},  // the intro overlay's view
  };
  for (const auto& c : cases)
    EXPECT_EQ(decideNavigation(c.mainView, c.url, c.base), c.want)
        << c.url.value_or("(none)") << " base " << c.base << " main " << c.mainView;
}

TEST(WebPolicy, Responses) {
  const auto allow = ResponsePolicy::Allow, download = ResponsePolicy::Download;
  struct Case {
    std::string disposition;
    bool canShow;
    ResponsePolicy want;
  } cases[] = {
      {"attachment; filename=\"report.pdf\"", true, download},
      {"inline", true, allow},
      {"Attachment; filename=a.pdf", true, allow},
      {"inline", false, download},
  };
  for (const auto& c : cases)
    EXPECT_EQ(decideResponse(c.disposition, c.canShow), c.want) << c.disposition << c.canShow;
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
      {"http://elsewhere.test:8790/", {studio}, Kind::LaunchApp, studio},
      {"http://127.0.0.1:8787/", {console, studio}, Kind::LaunchApp, console},
      {"http://127.0.0.1:8787/", {studio}, Kind::OpenUri, "http://127.0.0.1:8787/"},
      {"http://127.0.0.1/", {console, studio}, Kind::OpenUri, "http://127.0.0.1/"},
      {"http://127.0.0.1:8795/", {console, studio}, Kind::OpenUri, "http://127.0.0.1:8795/"},
      {"mailto:someone@elsewhere.test", {}, Kind::OpenUri, "mailto:someone@elsewhere.test"},
      {std::nullopt, {studio}, Kind::Nothing, ""},
      // Local content and script are never handed to other applications.
      {"FILE:///home/x/run.desktop", {}, Kind::Nothing, ""},
      {"javascript:alert(1)", {}, Kind::Nothing, ""},
      {"about:blank", {}, Kind::Nothing, ""},
  };
  for (const auto& c : cases) {
    auto d = decideNewWindow(c.url, [&](const std::string& id) { return c.installed.count(id); });
    EXPECT_EQ(d.kind, c.kind) << c.url.value_or("(none)");
    EXPECT_EQ(d.target, c.target) << c.url.value_or("(none)");
  }
}

}  // namespace
}  // namespace qm::web

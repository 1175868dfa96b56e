#include "pages/Pages.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/Files.h"

namespace qm::pages_test {

using Host = std::optional<std::string>;

// The page as it is kept in tests/golden, byte for byte.
std::string golden(const std::string& name) {
  return files::read(QUARN_GOLDEN_DIR "/" + name + ".html").value_or("no golden " + name);
}

TEST(Pages, EachGeneratedPageIsItsGoldenCopy) {
  const std::pair<const char*, std::string> rows[] = {
      {"placeholder", pages::placeholderPage()},
      {"connecting", pages::connectingPage()},
      {"message",
       pages::messagePage("Couldn't start Quillmarsh Quarn.\n\nCheck /h/a<b>&c\"d/data/quarn.log")},
      {"connect", pages::askPage("A & \"B\"", std::nullopt, {})},
      {"stopped-working", pages::webProcessPage()},
      {"unreachable", pages::unreachablePage("<mac>&.local", Unreachable::TimedOut)},
  };
  for (auto& [name, page] : rows) EXPECT_EQ(page, golden(name)) << name;
}

// The golden connect page is the one without hosts; each row puts `tried` after "this Mac", or
// `message` in place of the default one, and `value` in the field.
TEST(Pages, TheConnectPageNamesWhatWasTriedAndEscapesWhatItInserts) {
  const std::string evil = "\"><&amp;", evilOut = "&quot;&gt;&lt;&amp;amp;";
  std::tuple<Host, std::vector<std::string>, Host, std::string, std::string, std::string> rows[] = {
      {"m", {"127.0.0.2", "m"}, {}, ", m, 127.0.0.2, m", "", "m"},  // named twice
      {"m", {}, "It's <b>1 & \"2\"</b>", "", "It's &lt;b&gt;1 &amp; &quot;2&quot;&lt;/b&gt;", "m"},
      {evil, {"<i>"}, {}, ", " + evilOut + ", &lt;i&gt;", "", evilOut},
  };
  for (auto& [remembered, builtIn, error, tried, message, value] : rows) {
    std::string want = golden("connect");
    std::size_t from = want.find('>', want.find("<span")) + 1;
    if (message.empty())
      want.insert(want.find("this Mac") + 8, tried);
    else
      want.replace(from, want.find("</span>") - from, message);
    want.replace(want.find("value=\"\""), 8, "value=\"" + value + "\"");
    EXPECT_EQ(pages::askPage("A & \"B\"", remembered, builtIn, error), want) << value;
  }
}

}  // namespace qm::pages_test

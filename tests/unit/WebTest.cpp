#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "core/Files.h"
#include "fakes/TempHome.h"
#include "web/DownloadNames.h"
#include "web/DownloadProgress.h"
#include "web/Policy.h"

namespace qm::web {

using Url = std::optional<std::string>;

TEST(Web, NavigationLeavesTheMainViewOnlyForOtherWebHostsAndAttachmentsDownload) {
  const auto in = NavigationDecision::Allow, out = NavigationDecision::OpenExternally;
  const std::string base = "http://Mac.LOCAL:8795";
  std::pair<Url, NavigationDecision> rows[] = {
      {"http://127.0.0.1/", in},    {"http://LocalHost/", in},    {"http://127.0.0.2/", out},
      {"https://MAC.local/", in},   {"http://mac.local.t/", out}, {"http://ac.local/", out},
      {"http://localhost.t/", out}, {"https://e.test/x", out},    {"ftp://e.test/file", in},
      {"mailto:a@e.test", in},      {"not a url at all", in},     {std::nullopt, in}};
  for (auto& [url, want] : rows)
    EXPECT_EQ(decideNavigation(url, base), want) << url.value_or("(none)");
  EXPECT_EQ(decideResponse("inline; attachment", true), ResponsePolicy::Download);
  EXPECT_EQ(decideResponse("Attachment; filename=a.pdf", true), ResponsePolicy::Allow);
  EXPECT_EQ(decideResponse("inline", false), ResponsePolicy::Download);
}

TEST(Web, DownloadProgressIsTheKnownBytesOverTheKnownSizesInWholePercents) {
  std::pair<std::map<DownloadId, Transfer>, std::optional<double>> rows[] = {
      {{{1, {0, 0}}}, 0.0},
      {{{1, {50, 100}}, {2, {100, 100}}}, 0.75},
      {{{1, {999, 1000}}}, 0.99},
      {{{1, {500, 100}}, {2, {0, 100}}}, 0.5},
      {{{1, {7, 0}}, {2, {1, 4}}}, 0.25},
      {{{1, {~0ull, ~0ull}}, {2, {0, ~0ull}}}, 0.5}};
  for (auto& [running, want] : rows) EXPECT_EQ(overallProgress(running), want);
}

TEST(Web, NewWindowsLaunchInstalledSiblingsOrOpenOutside) {
  using Kind = NewWindowDecision::Kind;
  const std::string console = "app.quillmarsh.console.desktop";
  const std::string studio = "app.quillmarsh.studio.desktop";
  std::tuple<Url, std::string, Kind, std::string> rows[] = {
      {"http://e.test:8790/", studio, Kind::LaunchApp, studio},
      {"ftp://e.test:8790/", studio, Kind::LaunchApp, studio},
      {"x-custom://e.test:8787/", console, Kind::LaunchApp, console},
      {"ftp://e.test:8790/", console, Kind::Nothing, ""},
      {"http://127.0.0.1:8787/x", console, Kind::LaunchApp, console},
      {"http://127.0.0.1:8787/", studio, Kind::OpenUri, "http://127.0.0.1:8787/"},
      {"http://127.0.0.1:8787/", "", Kind::OpenUri, "http://127.0.0.1:8787/"},
      {"mailto:a@e.test", console, Kind::OpenUri, "mailto:a@e.test"},
      {"mailto:a@e.test?subject=attach", "", Kind::OpenUri, "mailto:a@e.test?subject=attach"},
  };
  for (auto& [url, installed, kind, target] : rows) {
    std::function<bool(const std::string&)> asked = [&](auto& id) { return id == installed; };
    auto d = decideNewWindow(url, installed.empty() ? nullptr : asked);
    EXPECT_EQ(std::pair(d.kind, d.target), std::pair(kind, target)) << url.value_or("(none)");
  }
  // Only web pages and mail without attachments are handed to other applications.
  for (Url url : std::vector<Url>{
           "FILE:///x.desktop", "javascript:alert(1)", "smb://h/s", "sftp://h:8787/",
           "help:gnome-help", "x-custom:a", "mailto:a@e.test?attach=/etc/passwd",
           "mailto:a@e.test?subject=s&ATTACHMENT=/x", "mailto:a@e.test?s=1;%61ttach=/x",
           "mailto:a%3Fattachment=/x", "not a url", "", std::nullopt})
    EXPECT_EQ(decideNewWindow(url, nullptr).kind, Kind::Nothing) << url.value_or("(none)");
}

TEST(Web, DownloadNamesArePlainAndNumberedBeforeTheExtension) {
  std::string e150, e127, ext63(63, 'e');
  for (int i = 0; i < 150; ++i) (i < 127 ? e127 : e150) += "\xC3\xA9";
  std::tuple<std::string, int, std::string> rows[] = {
      {"../../etc/passwd", 1, "_.._etc_passwd"},
      {std::string("a\0\x1f \x7e\x7f\xC2\x9F\xC2\xA0.txt", 14), 1, "a ~\xC2\xA0.txt"},
      {"bad\xFF\xC3.txt\xC0\xAF", 1, "bad.txt"},
      {" . ", 1, "download"},
      // Nothing hidden, nothing invisible: no leading dot, no direction override, zero-width
      // character, joiner, isolate or byte-order mark; one form of each character.
      {" .bash_profile. .\xC2\xA0", 1, "bash_profile"},
      {"invoice\u202Efdp.sh", 1, "invoicefdp.sh"},
      {"\uFEFFa\u200Bb\u200D\u2066c\u2069.txt", 1, "abc.txt"},
      {"cafe\xCC\x81.txt", 1, "caf\xC3\xA9.txt"},
      {std::string(300, 'x') + ".pdf", 1, std::string(251, 'x') + ".pdf"},
      {std::string(250, 'x') + " " + std::string(49, 'y') + ".pdf", 1,
       std::string(250, 'x') + ".pdf"},
      {e127 + e150, 1, e127},  // never cut inside a character
      {".bashrc", 2, "bashrc 2"},
      {"notes.", 12, "notes 12"},
      {"a." + ext63, 2, "a 2." + ext63},
      {"a.e" + ext63, 2, "a.e" + ext63 + " 2"},  // too long to be an extension
      {std::string(255, 'x'), 2, std::string(253, 'x') + " 2"},
  };
  for (auto& [suggested, n, out] : rows)
    EXPECT_EQ(numberedName(safeFileName(suggested), n), out)
        << testing::PrintToString(suggested) << " " << n;
}

TEST(Web, ClaimTakesTheFirstFreeNameAndNeverAnExistingOne) {
  test::TempHome home;
  const std::string& dir = home.path();
  for (auto p : {"r.pdf", "r 2.pdf", "r 4.pdf"}) std::ofstream(dir + "/" + p) << "old";
  EXPECT_EQ(claimFile(dir, "r.pdf").path, dir + "/r 3.pdf");
  EXPECT_EQ(claimFile(dir, "r.pdf").path, dir + "/r 5.pdf");
  for (auto p : {"r.pdf", "r 2.pdf", "r 4.pdf"}) EXPECT_EQ(files::read(dir + "/" + p), "old");
  // A link, even a dangling one, is passed over and never followed.
  ASSERT_EQ(symlink((dir + "/outside").c_str(), (dir + "/x").c_str()), 0);
  EXPECT_EQ(claimFile(dir, "x").path, dir + "/x 2");
  EXPECT_FALSE(files::exists(dir + "/outside"));
  EXPECT_EQ(claimFile(dir + "/missing", "x").error, "No such file or directory");
  // Deep enough that a full-length name would overrun the longest path: a shorter one is taken.
  std::string deep = dir;
  for (int i = 0; i < 15; ++i) ASSERT_TRUE(files::makeDirs(deep += "/" + std::string(255, 'd')));
  EXPECT_EQ(claimFile(deep, std::string(251, 'x') + ".pdf").path,
            deep + "/" + std::string(187, 'x') + ".pdf");
}

}  // namespace qm::web

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "app/Files.h"
#include "fakes/TempHome.h"
#include "web/DownloadNames.h"

namespace qm::web {
namespace {

TEST(DownloadNames, SafeFileName) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Quartalsbericht März.pdf", "Quartalsbericht März.pdf"},
      {"a..b.txt", "a..b.txt"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"..", "download"},
      {" . ", "download"},
      {"", "download"},
      {std::string("a\0b\n\x7f.txt", 9), "ab.txt"},
      {"c1\xC2\x85.txt", "c1.txt"},  // U+0085, a control character
      {"bad\xFF\xC3.txt", "bad.txt"},
      {"\xC0\xAF", "download"},  // an overlong '/'
      {std::string(300, 'x') + ".pdf", std::string(251, 'x') + ".pdf"},
  };
  for (const auto& c : cases) EXPECT_EQ(safeFileName(c.in), c.out) << c.in;
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "é";
  EXPECT_TRUE(files::validUtf8(numberedName(safeFileName(wide), 12345)));
}

TEST(DownloadNames, NumberedName) {
  struct Case {
    std::string name;
    int n;
    std::string out;
  } cases[] = {
      {"report.pdf", 1, "report.pdf"},
      {"report.pdf", 10, "report 10.pdf"},
      {"archive.tar.gz", 2, "archive.tar 2.gz"},
      {"notes", 2, "notes 2"},
      {".bashrc", 2, ".bashrc 2"},
      {std::string(255, 'x'), 2, std::string(253, 'x') + " 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(numberedName(c.name, c.n), c.out) << c.name << c.n;
}

TEST(DownloadNames, ClaimTakesTheFirstFreeNameAndNeverAnExistingOne) {
  test::TempHome home;
  const std::string dir = home.path() + "/d";
  struct Case {
    std::vector<std::string> present;
    std::string name, want;
  } cases[] = {
      {{}, "report.pdf", "report.pdf"},
      {{"report.pdf", "report 2.pdf"}, "report.pdf", "report 3.pdf"},
      {{"report.pdf", "report 3.pdf"}, "report.pdf", "report 2.pdf"},
      {{"archive.tar.gz"}, "archive.tar.gz", "archive.tar 2.gz"},
      {{"notes", "notes 2"}, "notes", "notes 3"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    for (const auto& p : c.present) std::ofstream(dir + "/" + p) << "old";
    auto claim = claimFile(dir, c.name);
    EXPECT_EQ(claim.path, dir + "/" + c.want) << claim.error;
    for (const auto& p : c.present) EXPECT_EQ(files::read(dir + "/" + p), "old") << p;
  }
  // A link (even a dangling one) or a folder under the name is passed over, never followed.
  ASSERT_EQ(::symlink((dir + "/outside").c_str(), (dir + "/x.txt").c_str()), 0);
  std::filesystem::create_directory(dir + "/x 2.txt");
  EXPECT_EQ(claimFile(dir, "x.txt").path, dir + "/x 3.txt");
  EXPECT_FALSE(files::exists(dir + "/outside"));
  EXPECT_FALSE(claimFile(dir + "/missing", "x.txt").path);
}

}  // namespace
}  // namespace qm::web

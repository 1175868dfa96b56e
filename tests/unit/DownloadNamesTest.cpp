#include <gtest/gtest.h>
#include <sys/stat.h>
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
      {"report.pdf", "report.pdf"},
      {"Quartalsbericht März.pdf", "Quartalsbericht März.pdf"},
      {"archive.tar.gz", "archive.tar.gz"},
      {".hidden", ".hidden"},
      {"a..b.txt", "a..b.txt"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"/etc/passwd", "_etc_passwd"},
      {"dir/", "dir_"},
      {"..", "download"},
      {".", "download"},
      {"...", "download"},
      {"", "download"},
      {" . ", "download"},
      {std::string("a\0b.txt", 7), "ab.txt"},
      {"line\nbreak\r\t.txt", "linebreak.txt"},
      {"bell\x07\x7f.txt", "bell.txt"},
      {"c1\xC2\x85.txt", "c1.txt"},    // U+0085, a control character
      {"bad\xFF\xC3.txt", "bad.txt"},  // invalid UTF-8
      {"\xC0\xAF", "download"},        // overlong '/'
      {"\n\x01", "download"},
  };
  for (const auto& c : cases) EXPECT_EQ(safeFileName(c.in), c.out) << c.in;
}

TEST(DownloadNames, SafeFileNameFitsTheFileSystem) {
  std::string longStem(300, 'x');
  std::string name = safeFileName(longStem + ".pdf");
  EXPECT_EQ(name.size(), 255u);
  EXPECT_EQ(name.substr(name.size() - 4), ".pdf");
  // Cut between characters, never inside one.
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "é";
  EXPECT_TRUE(files::validUtf8(safeFileName(wide)));
  EXPECT_LE(safeFileName(wide).size(), 255u);
  EXPECT_LE(numberedName(safeFileName(longStem + ".pdf"), 12345).size(), 255u);
}

TEST(DownloadNames, NumberedName) {
  struct Case {
    std::string name;
    int n;
    std::string out;
  } cases[] = {
      {"report.pdf", 1, "report.pdf"},
      {"report.pdf", 2, "report 2.pdf"},
      {"report.pdf", 10, "report 10.pdf"},
      {"archive.tar.gz", 2, "archive.tar 2.gz"},
      {"notes", 2, "notes 2"},
      {"notes.", 3, "notes. 3"},
      {".bashrc", 2, ".bashrc 2"},
      {".config.json", 2, ".config 2.json"},
      {"a b.c d", 2, "a b 2.c d"},
  };
  for (const auto& c : cases) EXPECT_EQ(numberedName(c.name, c.n), c.out) << c.name << c.n;
}

class ClaimTest : public testing::Test {
 protected:
  void make(const std::string& name, const std::string& content = "old") {
    std::ofstream(dir() + "/" + name) << content;
  }
  std::string dir() const { return home.path(); }
  test::TempHome home;
};

TEST_F(ClaimTest, TakesTheFirstFreeNameAndLeavesOthersAlone) {
  struct Case {
    std::vector<std::string> present;
    std::string name, want;
  } cases[] = {
      {{}, "report.pdf", "report.pdf"},
      {{"report.pdf"}, "report.pdf", "report 2.pdf"},
      {{"report.pdf", "report 2.pdf"}, "report.pdf", "report 3.pdf"},
      {{"report.pdf", "report 3.pdf"}, "report.pdf", "report 2.pdf"},
      {{"archive.tar.gz"}, "archive.tar.gz", "archive.tar 2.gz"},
      {{"notes", "notes 2"}, "notes", "notes 3"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir());
    std::filesystem::create_directory(dir());
    for (const auto& p : c.present) make(p);
    auto claim = claimFile(dir(), c.name);
    ASSERT_TRUE(claim.path) << c.name << ": " << claim.error;
    EXPECT_EQ(*claim.path, dir() + "/" + c.want);
    EXPECT_EQ(files::read(*claim.path), "");
    for (const auto& p : c.present) EXPECT_EQ(files::read(dir() + "/" + p), "old") << p;
  }
}

TEST_F(ClaimTest, ConcurrentClaimsOfOneNameGetTheirOwnFiles) {
  auto first = claimFile(dir(), "report.pdf");
  auto second = claimFile(dir(), "report.pdf");
  ASSERT_TRUE(first.path && second.path);
  EXPECT_EQ(*first.path, dir() + "/report.pdf");
  EXPECT_EQ(*second.path, dir() + "/report 2.pdf");
}

TEST_F(ClaimTest, NeverFollowsOrReplacesLinksOrFolders) {
  std::string outside = dir() + "/outside";
  ASSERT_EQ(::symlink(outside.c_str(), (dir() + "/report.pdf").c_str()), 0);
  std::filesystem::create_directory(dir() + "/report 2.pdf");
  auto claim = claimFile(dir(), "report.pdf");
  ASSERT_TRUE(claim.path);
  EXPECT_EQ(*claim.path, dir() + "/report 3.pdf");
  EXPECT_FALSE(files::exists(outside));
}

TEST_F(ClaimTest, ReportsAFolderThatCannotBeWritten) {
  auto claim = claimFile(dir() + "/missing", "report.pdf");
  EXPECT_FALSE(claim.path);
  EXPECT_FALSE(claim.error.empty());
}

}  // namespace
}  // namespace qm::web

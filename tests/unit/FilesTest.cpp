#include "app/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "fakes/TempHome.h"

namespace qm {
namespace {

mode_t modeOf(const std::string& p) {
  struct stat st {};
  stat(p.c_str(), &st);
  return st.st_mode & 0777;
}

TEST(Files, AtomicWriteReplacesContentWithTheGivenMode) {
  test::TempHome home;
  std::string p = home.path() + "/f";
  ASSERT_TRUE(files::writeAtomic(p, "one", 0600));
  ASSERT_TRUE(files::writeAtomic(p, "two", 0600));
  EXPECT_EQ(files::read(p), "two");
  EXPECT_EQ(modeOf(p), 0600u);
  // No temporary file is left behind.
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator(home.path())) (void)e, ++n;
  EXPECT_EQ(n, 1);
}

TEST(Files, ReadRefusesLargeFilesFoldersAndMissingFiles) {
  test::TempHome home;
  std::string p = home.path() + "/big";
  std::ofstream(p) << std::string(100, 'x');
  EXPECT_FALSE(files::read(p, 99));
  EXPECT_TRUE(files::read(p, 100));
  EXPECT_FALSE(files::read(home.path()));
  EXPECT_FALSE(files::read(home.path() + "/missing"));
}

TEST(Files, MakeDirsCreatesParentsWithModeAndKeepsExistingModes) {
  test::TempHome home;
  std::string d = home.path() + "/a/b/c";
  ASSERT_TRUE(files::makeDirs(d, 0700));
  EXPECT_EQ(modeOf(d), 0700u);
  chmod(d.c_str(), 0755);
  EXPECT_TRUE(files::makeDirs(d, 0700));
  EXPECT_EQ(modeOf(d), 0755u);
}

TEST(Files, TrimAndUtf8) {
  struct Case {
    std::string in, out;
  } cases[] = {{"  a b \n", "a b"}, {"\t\r\n", ""}, {"", ""}, {"x", "x"}};
  for (auto& c : cases) EXPECT_EQ(files::trim(c.in), c.out) << c.in;
  EXPECT_TRUE(files::validUtf8("caf\xC3\xA9"));
  EXPECT_FALSE(files::validUtf8("\xC3"));
  EXPECT_FALSE(files::validUtf8("\xC0\xAF"));      // overlong
  EXPECT_FALSE(files::validUtf8("\xED\xA0\x80"));  // surrogate
}

}  // namespace
}  // namespace qm

#include "core/Files.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "fakes/TempHome.h"

namespace qm {

TEST(Files, ReadIsBoundedToRegularFilesAndWriteAtomicReplaces) {
  test::TempHome home;
  const std::string p = home.path() + "/f", old = home.path() + "/old";
  const std::string fifo = home.path() + "/fifo", hundred(100, 'x');
  ASSERT_TRUE(files::writeAtomic(p, hundred, 0600));
  ASSERT_EQ(link(p.c_str(), old.c_str()) | mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_TRUE(files::writeAtomic(p, "two", 0640));
  EXPECT_EQ(files::read(p), "two");
  EXPECT_EQ(files::read(old, 100), hundred);  // a new file took the name; none written in place
  for (auto& path : {old, fifo, home.path(), home.path() + "/missing"})
    EXPECT_FALSE(files::read(path, 99)) << path;
  EXPECT_EQ(std::filesystem::status(p).permissions(), std::filesystem::perms(0640));
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path()), {}), 3);
}

TEST(Files, ModesFollowTheUmaskButPrivateOnesAndOnlyOldTemporariesOfOursAreCleared) {
  test::TempHome home;
  const std::string h = home.path();
  // A name, its age in minutes, and whether the next write of "f" removes it: only an old
  // temporary of this app's for "f", never a file that merely looks like one.
  std::tuple<std::string, int, bool> names[] = {{".f.quarn-tmp.Ab3xYz", 2, true},
                                                {".f.quarn-tmp.Zz9zZz", 0, false},
                                                {".g.quarn-tmp.Ab3xYz", 2, false},
                                                {".f.quarn-tmp.Ab3xY", 2, false},
                                                {".f.quarn-tmp.Ab-xYz", 2, false},
                                                {"f.Ab3xYz", 2, false},
                                                {"f.backup", 2, false},
                                                {"f.bak001", 2, false},
                                                {"f.quarn-tmp.Ab3xYz", 2, false},
                                                {"..f.quarn-tmp.Ab3xYz", 2, false}};
  for (auto& [name, age, removed] : names) {
    ASSERT_TRUE(files::writeAtomic(h + "/" + name, "token"));
    std::filesystem::last_write_time(
        h + "/" + name, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(age));
  }
  mode_t before = umask(0277);
  EXPECT_TRUE(files::writeAtomic(h + "/f", "x") && files::makeDirs(h + "/d/e") &&
              files::writeAtomic(h + "/p", "x", 0600) && files::makeDirs(h + "/q/r", 0700));
  umask(before);
  for (auto [path, mode] : {std::pair(h + "/f", 0400),
                            {h + "/d/e", 0500},
                            {h + "/p", 0600},
                            {h + "/q/r", 0700},
                            {h + "/q", 0700}})
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(mode)) << path;
  for (auto& [name, age, removed] : names)
    EXPECT_EQ(files::exists(h + "/" + name), !removed) << name;
}

// Every fsync of the process, as the path of what it synced, while `synced` is set.
std::vector<std::string>* synced = nullptr;
extern "C" int fsync(int fd) {
  static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
  if (synced)
    synced->push_back(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)));
  return real(fd);
}

TEST(Files, WriteAtomicSyncsTheContentThenTheFolderItWasRenamedIn) {
  test::TempHome home;
  std::vector<std::string> paths;
  synced = &paths;
  EXPECT_TRUE(files::writeAtomic(home.path() + "/f", "x"));
  synced = nullptr;
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_TRUE(paths[0].starts_with(home.path() + "/.f.quarn-tmp.")) << paths[0];
  EXPECT_EQ(paths[1], home.path());
}

}  // namespace qm

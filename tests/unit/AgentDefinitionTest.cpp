#include "service/AgentDefinition.h"

#include <glib.h>
#include <gtest/gtest.h>

#include "core/Files.h"
#include "core/Handle.h"
#include "fakes/TempHome.h"

namespace qm::service {

// The unit for a service folder and an interpreter; `why` tells a refusal's reason.
std::string why;
std::optional<std::string> unit(std::string dir, std::string python) {
  return systemdUnit({"app.quillmarsh.quarn", dir, python, "501"}, why);
}

TEST(AgentDefinition, UnitEscapesWhatItMustAndRefusesPathsALineWouldMisread) {
  EXPECT_EQ(unit("/h/a\tb/50%$x\"y\\z", "/opt/py $HOME%"),
            "[Unit]\nDescription=Quillmarsh Quarn suite server\nStartLimitIntervalSec=0\n"
            "\n[Service]\nType=simple\n"
            "ExecStart=\"/opt/py $HOME%%\" \"/h/a\\x09b/50%%$$x\\\"y\\\\z/server.py\"\n"
            "WorkingDirectory=/h/a\tb/50%%$x\"y\\z\nRestart=always\nRestartSec=3\n"
            "StandardOutput=append:/h/a\tb/50%%$x\"y\\z/data/quarn.log\n"
            "StandardError=append:/h/a\tb/50%%$x\"y\\z/data/quarn.log\n\n"
            "[Install]\nWantedBy=default.target\n");
  // A trailing blank would be stripped and a trailing backslash would join the next line.
  for (std::string end : {" ", "\t", "\\"}) {
    auto text = unit("/a" + end, "/py").value_or("");
    EXPECT_NE(text.find("\nWorkingDirectory=/a" + end + "/\n"), std::string::npos) << text;
  }
  for (std::string dir : {" /etc", "\t/etc", "", "/a\n[Service]", "/a\x7f", "/a\xC3"})
    EXPECT_FALSE(unit(dir, "/py")) << testing::PrintToString(dir);
  for (std::string py : {"py", "-/py", "@/py", "/p\\y", "/p\"y", "/p'y", "/p\ty", "/p\x7fy"}) {
    EXPECT_FALSE(unit("/q", py)) << testing::PrintToString(py);
    EXPECT_EQ(why, "systemd cannot run the interpreter " + py +
                       " (it must be an absolute path without control characters, backslashes "
                       "or quotes)");
  }
}

// systemd itself reads each unit: it finds the interpreter and takes every key.
TEST(AgentDefinition, UnitsVerifyWithSystemd) {
  if (!files::exists("/usr/bin/systemd-analyze")) GTEST_SKIP() << "no systemd-analyze here";
  test::TempHome home;
  const std::string h = home.path(), file = h + "/app.quillmarsh.quarn.service";
  ASSERT_TRUE(files::makeDirs(h + "/run", 0700));
  g_setenv("XDG_RUNTIME_DIR", (h + "/run").c_str(), TRUE);
  const std::string dir = h + "/q$x %h\"'\\ é", python = h + "/b i n$HOME/$$py%";
  ASSERT_TRUE(files::makeDirs(dir + "/data"));
  test::writeFile(python, "#!/bin/sh\n", 0755), test::writeFile(file, unit(dir, python).value());
  GCharPtr cmd(g_strconcat("systemd-analyze verify --user ",
                           GCharPtr(g_shell_quote(file.c_str())).get(), nullptr));
  char *out = nullptr, *err = nullptr;
  int status = -1;
  ASSERT_TRUE(g_spawn_command_line_sync(cmd.get(), &out, &err, &status, nullptr));
  EXPECT_EQ(GCharPtr(out).get() + std::string(GCharPtr(err).get()), "");
  EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr));
  g_unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace qm::service

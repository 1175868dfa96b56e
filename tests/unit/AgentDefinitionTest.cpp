#include "service/AgentDefinition.h"

#include <gtest/gtest.h>

namespace qm::service {

TEST(AgentDefinition, PlistIsElevenLinesWithMarkupEscaped) {
  std::string want =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
      "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\"><dict>\n  <key>Label</key><string>a&lt;b</string>\n"
      "  <key>ProgramArguments</key><array><string>@/py</string><string>@/server.py</string>"
      "</array>\n  <key>WorkingDirectory</key><string>@</string>\n"
      "  <key>RunAtLoad</key><true/>\n  <key>KeepAlive</key><true/>\n"
      "  <key>StandardOutPath</key><string>@/data/quarn.log</string>\n"
      "  <key>StandardErrorPath</key><string>@/data/quarn.log</string>\n</dict></plist>";
  for (auto at = want.find('@'); at != std::string::npos; at = want.find('@', at))
    want.replace(at, 1, "/R&amp;D &lt;x&gt;/a b%$\"'");
  const std::string dir = "/R&D <x>/a b%$\"'";
  EXPECT_EQ(launchdPlist({"a<b", dir, dir + "/py", "501"}), want);
}

TEST(AgentDefinition, UnitEscapesWhatItMustAndRefusesPathsALineWouldMisread) {
  EXPECT_EQ(systemdUnit({"l", "/h/a\tb/50%$x\"y\\z", "/opt/py $HOME\x1f\x7f", "501"}),
            "[Unit]\nDescription=Quillmarsh Quarn suite server\nStartLimitIntervalSec=0\n\n"
            "[Service]\nType=simple\n"
            "ExecStart=\"/opt/py $$HOME\\x1f\\x7f\" \"/h/a\\x09b/50%%$$x\\\"y\\\\z/server.py\"\n"
            "WorkingDirectory=/h/a\tb/50%%$x\"y\\z\nRestart=always\nRestartSec=3\n"
            "StandardOutput=append:/h/a\tb/50%%$x\"y\\z/data/quarn.log\n"
            "StandardError=append:/h/a\tb/50%%$x\"y\\z/data/quarn.log\n\n"
            "[Install]\nWantedBy=default.target\n");
  // A trailing blank would be stripped and a trailing backslash would join the next line.
  for (std::string end : {" ", "\t", "\\"}) {
    auto unit = systemdUnit({"l", "/a" + end, "/py", "501"}).value_or("");
    EXPECT_NE(unit.find("\nWorkingDirectory=/a" + end + "/\n"), std::string::npos) << unit;
  }
  for (std::string dir : {" /etc", "\t/etc", "", "/a\n[Service]", "/a\x7f", "/a\xC3"})
    EXPECT_FALSE(systemdUnit({"l", dir, "/py", "501"})) << testing::PrintToString(dir);
}

TEST(AgentDefinition, ExpandTilde) {
  std::tuple<std::string, std::string, std::string> rows[] = {
      {"~", "/u", "/u"},      {"~/x", "/u//", "/u/x"}, {"~/x", "/", "/x"}, {"~/x", "", "/x"},
      {"~u/x", "/u", "~u/x"}, {"a/~", "/u", "a/~"},    {"", "/u", ""}};
  for (auto& [path, home, out] : rows) EXPECT_EQ(expandTilde(path, home), out) << path << home;
}

}  // namespace qm::service

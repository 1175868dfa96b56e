#include "service/AgentDefinition.h"

#include <gtest/gtest.h>

namespace qm::service {
namespace {

Agent agentAt(const std::string& dir, const std::string& python) {
  return Agent{"app.quillmarsh.quarn", dir, python, "501"};
}

TEST(AgentDefinition, PlistIsTheElevenLinesWithMarkupEscaped) {
  std::string want =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\"><dict>\n"
      "  <key>Label</key><string>app.quillmarsh.quarn</string>\n"
      "  <key>ProgramArguments</key><array><string>@/../bots/.venv/bin/python</string>"
      "<string>@/server.py</string></array>\n"
      "  <key>WorkingDirectory</key><string>@</string>\n"
      "  <key>RunAtLoad</key><true/>\n"
      "  <key>KeepAlive</key><true/>\n"
      "  <key>StandardOutPath</key><string>@/data/quarn.log</string>\n"
      "  <key>StandardErrorPath</key><string>@/data/quarn.log</string>\n"
      "</dict></plist>";
  for (auto at = want.find('@'); at != std::string::npos; at = want.find('@', at))
    want.replace(at, 1, "/R&amp;D &lt;x&gt;/a b%$\"");
  const std::string dir = "/R&D <x>/a b%$\"";
  EXPECT_EQ(launchdPlist(agentAt(dir, dir + "/../bots/.venv/bin/python")), want);
}

TEST(AgentDefinition, UnitQuotesExecWordsAndEscapesSpecifiers) {
  EXPECT_EQ(systemdUnit(agentAt("/h/a b/50%$x\"y\\z", "/opt/py $HOME")),
            "[Unit]\n"
            "Description=Quillmarsh Quarn suite server\n"
            "StartLimitIntervalSec=0\n"
            "\n"
            "[Service]\n"
            "Type=simple\n"
            "ExecStart=\"/opt/py $$HOME\" \"/h/a b/50%%$$x\\\"y\\\\z/server.py\"\n"
            "WorkingDirectory=/h/a b/50%%$x\"y\\z\n"
            "Restart=always\n"
            "RestartSec=3\n"
            "StandardOutput=append:/h/a b/50%%$x\"y\\z/data/quarn.log\n"
            "StandardError=append:/h/a b/50%%$x\"y\\z/data/quarn.log\n"
            "\n"
            "[Install]\n"
            "WantedBy=default.target\n");
}

TEST(AgentDefinition, ValuesAUnitLineCannotMisread) {
  struct Case {
    std::string in;
    std::optional<std::string> out;
  } paths[] = {
      {"/a/b ", "/a/b /"},      // the blank would be stripped
      {"/a/b\\", "/a/b\\/"},    // a trailing backslash would join the next line
      {" /etc", std::nullopt},  // would become "/etc"
      {"/a\nExecStartPre=/bin/evil", std::nullopt},
      {"", std::nullopt},
  };
  for (auto& p : paths) EXPECT_EQ(systemdPathValue(p.in), p.out) << p.in;
  EXPECT_EQ(systemdExecWord("a\tb\nc"), "\"a\\x09b\\x0ac\"");
  EXPECT_FALSE(systemdUnit(agentAt("/a\n[Service]", "/py")));
  EXPECT_FALSE(systemdUnit(agentAt("/a", "/py\xC3")));  // not UTF-8
  auto unit = systemdUnit(agentAt("/a", "/py\nExecStart=/bin/sh"));
  ASSERT_TRUE(unit);
  EXPECT_EQ(unit->find("\nExecStart=/bin/sh"), std::string::npos);
}

}  // namespace
}  // namespace qm::service

#include "service/AgentDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::service {
namespace {

Agent agentAt(const std::string& dir, const std::string& python) {
  return Agent{"app.quillmarsh.quarn", dir, python, "501"};
}

TEST(AgentDefinition, PlistIsTheElevenLinesByteForByte) {
  const std::string dir = "/home/u/Desktop/Quillmarsh/quarn";
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\"><dict>\n"
      "  <key>Label</key><string>app.quillmarsh.quarn</string>\n"
      "  <key>ProgramArguments</key><array><string>/home/u/Desktop/Quillmarsh/quarn/../bots/"
      ".venv/bin/python</string><string>/home/u/Desktop/Quillmarsh/quarn/server.py</string>"
      "</array>\n"
      "  <key>WorkingDirectory</key><string>/home/u/Desktop/Quillmarsh/quarn</string>\n"
      "  <key>RunAtLoad</key><true/>\n"
      "  <key>KeepAlive</key><true/>\n"
      "  <key>StandardOutPath</key><string>/home/u/Desktop/Quillmarsh/quarn/data/quarn.log"
      "</string>\n"
      "  <key>StandardErrorPath</key><string>/home/u/Desktop/Quillmarsh/quarn/data/quarn.log"
      "</string>\n"
      "</dict></plist>";
  EXPECT_EQ(launchdPlist(agentAt(dir, dir + "/../bots/.venv/bin/python")), expected);
}

TEST(AgentDefinition, PlistEscapesMarkupButKeepsOtherCharacters) {
  struct Case {
    std::string dir, written;
  } cases[] = {
      {"/a b/q", "/a b/q"},
      {"/R&D/q", "/R&amp;D/q"},
      {"/x<y>/q", "/x&lt;y&gt;/q"},
      {"/100%/\"q'$", "/100%/\"q'$"},
      {"/caf\xC3\xA9/q", "/caf\xC3\xA9/q"},
  };
  for (auto& c : cases) {
    std::string text = launchdPlist(agentAt(c.dir, c.dir + "/py"));
    EXPECT_NE(text.find("<key>WorkingDirectory</key><string>" + c.written + "</string>\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<array><string>" + c.written + "/py</string><string>" + c.written +
                        "/server.py</string></array>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<key>StandardErrorPath</key><string>" + c.written +
                        "/data/quarn.log</string>\n</dict></plist>"),
              std::string::npos)
        << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10) << c.dir;
  }
}

TEST(AgentDefinition, UnitRunsTheServerFromItsFolderAndAppendsToTheLog) {
  const std::string expected =
      "[Unit]\n"
      "Description=Quillmarsh Quarn suite server\n"
      "StartLimitIntervalSec=0\n"
      "\n"
      "[Service]\n"
      "Type=simple\n"
      "ExecStart=\"/srv/q/../bots/.venv/bin/python\" \"/srv/q/server.py\"\n"
      "WorkingDirectory=/srv/q\n"
      "Restart=always\n"
      "RestartSec=3\n"
      "StandardOutput=append:/srv/q/data/quarn.log\n"
      "StandardError=append:/srv/q/data/quarn.log\n"
      "\n"
      "[Install]\n"
      "WantedBy=default.target\n";
  EXPECT_EQ(systemdUnit(agentAt("/srv/q", "/srv/q/../bots/.venv/bin/python")), expected);
}

TEST(AgentDefinition, UnitQuotesAndEscapesHostilePaths) {
  auto unit = systemdUnit(agentAt("/h/a b/50%$x\"y\\z", "/opt/py $HOME%n"));
  ASSERT_TRUE(unit);
  EXPECT_NE(
      unit->find("\nExecStart=\"/opt/py $$HOME%%n\" \"/h/a b/50%%$$x\\\"y\\\\z/server.py\"\n"),
      std::string::npos)
      << *unit;
  // Path settings are verbatim except for specifiers; "$" means nothing there.
  EXPECT_NE(unit->find("\nWorkingDirectory=/h/a b/50%%$x\"y\\z\n"), std::string::npos) << *unit;
  EXPECT_NE(unit->find("\nStandardOutput=append:/h/a b/50%%$x\"y\\z/data/quarn.log\n"),
            std::string::npos)
      << *unit;
}

TEST(AgentDefinition, ExecWordsAndPathValues) {
  struct Word {
    std::string in, out;
  } words[] = {
      {"/usr/bin/python3", "\"/usr/bin/python3\""},
      {"-x", "\"-x\""},
      {"a\tb\nc", "\"a\\x09b\\x0ac\""},
      {"", "\"\""},
  };
  for (auto& w : words) EXPECT_EQ(systemdExecWord(w.in), w.out) << w.in;

  struct Path {
    std::string in;
    std::optional<std::string> out;
  } paths[] = {
      {"/a b", "/a b"},
      {"/a%b", "/a%%b"},
      {"/a/b ", "/a/b /"},      // the blank would be stripped
      {"/a/b\\", "/a/b\\/"},    // a trailing backslash would join the next line
      {" /etc", std::nullopt},  // would become "/etc"
      {"/a\nExecStartPre=/bin/evil", std::nullopt},
      {"/a\rb", std::nullopt},
      {"", std::nullopt},
  };
  for (auto& p : paths) EXPECT_EQ(systemdPathValue(p.in), p.out) << p.in;
}

TEST(AgentDefinition, NoUnitForPathsAUnitFileCannotHold) {
  EXPECT_FALSE(systemdUnit(agentAt("/a\n[Service]", "/py")));
  EXPECT_FALSE(systemdUnit(agentAt("/a", "/py\xC3")));  // not UTF-8
  // The interpreter's word can hold anything: it is quoted and escaped.
  EXPECT_TRUE(systemdUnit(agentAt("/a", "/py\nExecStart=/bin/sh")));
  auto unit = systemdUnit(agentAt("/a", "/py\nExecStart=/bin/sh"));
  EXPECT_EQ(unit->find("\nExecStart=/bin/sh"), std::string::npos);
}

TEST(AgentDefinition, TildeExpansion) {
  struct Case {
    std::string path, home, out;
  } cases[] = {
      {"~/Desktop/x", "/home/u", "/home/u/Desktop/x"},
      {"~/Desktop/x", "/home/u/", "/home/u/Desktop/x"},
      {"~/Desktop/x", "/", "/Desktop/x"},
      {"~", "/home/u", "/home/u"},
      {"~other/x", "/home/u", "~other/x"},
      {"/abs/~/x", "/home/u", "/abs/~/x"},
  };
  for (auto& c : cases) EXPECT_EQ(expandTilde(c.path, c.home), c.out) << c.path << " " << c.home;
}

}  // namespace
}  // namespace qm::service

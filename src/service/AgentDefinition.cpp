#include "service/AgentDefinition.h"

#include <cstdio>

#include "core/Files.h"
#include "core/Markup.h"
#include "core/Text.h"

namespace qm::service {

std::string expandTilde(const std::string& path, const std::string& home) {
  if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) return path;
  std::string h = home;
  while (h.size() > 1 && h.back() == '/') h.pop_back();
  if (h == "/") h.clear();
  return h + path.substr(1);
}

std::string launchdPlist(const Agent& a) {
  const std::string dir = escapeMarkup(a.quarnDir);
  const std::string log = escapeMarkup(a.logPath());
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\"><dict>\n"
         "  <key>Label</key><string>" +
         escapeMarkup(a.label) +
         "</string>\n"
         "  <key>ProgramArguments</key><array><string>" +
         escapeMarkup(a.python) + "</string><string>" + escapeMarkup(a.serverPath()) +
         "</string></array>\n"
         "  <key>WorkingDirectory</key><string>" +
         dir +
         "</string>\n"
         "  <key>RunAtLoad</key><true/>\n"
         "  <key>KeepAlive</key><true/>\n"
         "  <key>StandardOutPath</key><string>" +
         log +
         "</string>\n"
         "  <key>StandardErrorPath</key><string>" +
         log +
         "</string>\n"
         "</dict></plist>";
}

static bool isControl(unsigned char c) {
  return c < 0x20 || c == 0x7f;
}

// An argument of an ExecStart= line: double-quoted, with backslash escapes, "%%" and "$$".
static std::string systemdExecWord(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '%':
        out += "%%";
        break;
      case '$':
        out += "$$";
        break;
      default:
        if (isControl(c)) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::optional<std::string> systemdPathValue(const std::string& path) {
  // Path settings are taken verbatim up to the line's end: no quoting, blanks around the value
  // are stripped and a trailing backslash joins the next line.
  if (path.empty() || path.front() == ' ' || path.front() == '\t') return std::nullopt;
  std::string out;
  for (unsigned char c : path) {
    if (isControl(c) && c != '\t') return std::nullopt;
    if (c == '%')
      out += "%%";
    else
      out += static_cast<char>(c);
  }
  // A trailing slash keeps the path the same folder and protects the line's end.
  char last = out.back();
  if (last == ' ' || last == '\t' || last == '\\') out += '/';
  return out;
}

std::optional<std::string> systemdProgramWord(const std::string& path) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  std::string out = "\"";
  for (unsigned char c : path) {
    if (isControl(c) || c == '\\' || c == '"' || c == '\'') return std::nullopt;
    out += c == '%' ? std::string("%%") : std::string(1, static_cast<char>(c));
  }
  return out + "\"";
}

std::optional<std::string> systemdUnit(const Agent& a, std::string& problem) {
  problem.clear();
  for (const auto* v : {&a.quarnDir, &a.python, &a.label})
    if (!text::validUtf8(*v)) problem = "a path is not valid UTF-8";
  auto program = systemdProgramWord(a.python);
  if (problem.empty() && !program)
    problem = "systemd cannot run the interpreter " + a.python +
              " (it must be an absolute path without control characters, backslashes or quotes)";
  auto dir = systemdPathValue(a.quarnDir);
  auto log = systemdPathValue(a.logPath());
  if (problem.empty() && (!dir || !log))
    problem = "a unit file cannot hold the service folder " + a.quarnDir;
  if (!problem.empty()) return std::nullopt;
  // A server that keeps failing is tried again for ever, a few seconds apart: no start limit
  // gives it up until the app next starts it.
  return "[Unit]\n"
         "Description=Quillmarsh Quarn suite server\n"
         "StartLimitIntervalSec=0\n"
         "\n"
         "[Service]\n"
         "Type=simple\n"
         "ExecStart=" +
         *program + " " + systemdExecWord(a.serverPath()) +
         "\n"
         "WorkingDirectory=" +
         *dir +
         "\n"
         "Restart=always\n"
         "RestartSec=3\n"
         "StandardOutput=append:" +
         *log +
         "\n"
         "StandardError=append:" +
         *log +
         "\n"
         "\n"
         "[Install]\n"
         "WantedBy=default.target\n";
}

}  // namespace qm::service

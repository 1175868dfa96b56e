#include "server/SuiteServer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/Constants.h"
#include "core/Files.h"
#include "fakes/Fakes.h"
#include "fakes/TempHome.h"
#include "server/HostText.h"

namespace qm::suite_server_test {

using Host = std::optional<std::string>;

TEST(SuiteServer, CleanNormalisesTypedHosts) {
  // Labels of 63 bytes make a host of 253.
  const std::string l63(63, 'l'), h253 = l63 + "." + l63 + "." + l63 + "." + std::string(61, 'h');
  std::pair<std::string, std::string> good[] = {
      {"  HTTPS:////Quill-Mac.0-9.A.Z:8795/app  ", "quill-mac.0-9.a.z"},
      {"0.255.10.200", "0.255.10.200"},
      {h253, h253},
      {"HTTPS://http://x", "x"},
      {"HTTP://HTTPS://x", "https"},  // each prefix goes once, https first
      {"Mac.Local./x", "mac.local"},
      {"\xC2\xA0\xE1\x9A\x80 \xE3\x80\x80\xE2\x80\x80\xE2\x80\x8A\xE2\x80\xAFm\xE2\x80\x83\n", "m"},
      {"\xE2\x81\x9F\xC2\x85\t\r\v\fa\xE2\x80\xA8\xE2\x80\xA9", "a"},
  };
  for (auto& [in, out] : good) EXPECT_EQ(SuiteServer::clean(in), out) << testing::PrintToString(in);
  for (std::string in : std::vector<std::string>{
           "a\xE2\x80\x8B", "a\xE3\x80\x81", "a\xE1\x80\x80", "a\xC2\xA1", "", " \xC2\xA0 ",
           ":8795", "my mac", "my_mac", "[fe80::1]:8795", "a:b:c", "mac\n/x", "caf\xC3\xA9.local",
           "u@mac.local", ".local", "mac..local", "mac.local..", ".", "...",
           // Shorthands the engine would rewrite to another address.
           "10.1", "0", "010.000.000.005", "0x0a.0.0.5", "1.2.3.256", "1.2.3.4.", "1.2.3.4.5", "7.",
           "1.x.3.4", "mac.0x1f", "mac.7", h253 + "h", l63 + "l.local"})
    EXPECT_EQ(SuiteServer::clean(in), std::nullopt) << testing::PrintToString(in);
}

// One resolve on port 8795 in a fresh home holding `file` as the remembered-host file ("": none).
struct Resolve {
  test::TempHome home;
  test::FakeBundle bundle;
  test::FakeHttp http;
  std::vector<Host> reports;
  Resolve(const std::string& file, const std::string& qmHosts) {
    if (!file.empty()) test::writeFile(SuiteServer::file(), file);
    bundle.info["QMHosts"] = qmHosts;
    SuiteServer::resolve(http, bundle, 8795, kProbePath, [this](Host h) { reports.push_back(h); });
  }
};

// The candidates (local, remembered, built in, each once) as resolve probes them.
TEST(SuiteServer, ResolveProbesEachUsableCandidateInOrder) {
  const std::string L = kLocalHost, a253(253, 'a');
  std::tuple<std::string, std::string, std::vector<std::string>> rows[] = {
      {"", " b.local , ,\ta\t,.local,b.local,x..y,127.0.0.1,..,,", {L, "b.local", "a"}},
      {"..", "mac.local.", {L, "mac.local."}},
      {"  mac.local\n", "a,mac.local", {L, "mac.local", "a"}},
      // Line ends end the remembered host but stay in built-in ones.
      {"\xC2\xA0mac.local\xE2\x80\xA8", "x\n,\xE2\x80\xA8y,z", {L, "mac.local", "z"}},
      {"127.0.0.1", "a", {L, "a"}},
      {" \n\t\r\n", ",,,", {L}},
      {"\xFF\xFE", "", {L}},
      {std::string("mac\0.local", 10), "", {L}},  // control characters: none remembered
      {"AZ.az-09_", "e@a,x/y,x:1,%41,[::1]:1,x?y#z," + a253 + "a," + a253, {L, "AZ.az-09_", a253}},
      // An IPv6 address is probed in its brackets, but not with a zone or as anything else.
      {"[FD7A::1]",
       "[fe80::1%25lo],[g::1],[1.2.3.4],fd7a::2,[::ffff:10.0.0.5],[::1]",
       {L, "[FD7A::1]", "[::ffff:10.0.0.5]", "[::1]"}},
  };
  for (auto& [file, qmHosts, hosts] : rows) {
    SCOPED_TRACE(testing::PrintToString(file + "|" + qmHosts));
    Resolve r(file, qmHosts);
    ASSERT_EQ(r.http.sent.size(), hosts.size());
    for (std::size_t i = 0; i < hosts.size(); ++i) {
      EXPECT_EQ(r.http.sent[i].url, "http://" + hosts[i] + ":8795/static/icon.png");
      EXPECT_EQ(r.http.sent[i].timeoutSeconds, i == 0 ? 1.0 : 3.0);
      EXPECT_FALSE(r.http.sent[i].wantBody);
      r.http.respond(r.http.sent[i].url, test::FakeHttp::failure());
    }
    EXPECT_EQ(r.reports, std::vector<Host>{std::nullopt});  // the unsent ones count as no
  }
  Resolve r("mac\xC2\x9F", "");
  EXPECT_EQ(SuiteServer::saved(), std::nullopt);  // nor a control character of the upper range
}

TEST(SuiteServer, ResolveReportsTheFirstInOrderAsSoonAsItIsCertain) {
  std::pair<std::vector<std::pair<std::string, int>>, Host> rows[] = {
      // Answers in arrival order (0: none); the last one decides.
      {{{"127.0.0.1", 404}}, "127.0.0.1"},
      {{{"b1", 200}, {"r.local", 200}, {"127.0.0.1", 200}}, "127.0.0.1"},
      {{{"r.local", 499}, {"127.0.0.1", 0}}, "r.local"},
      {{{"127.0.0.1", 500}, {"r.local", 503}, {"b2", 200}, {"b1", 0}}, "b2.local"},
      {{{"b2", 200}, {"b1", 200}, {"127.0.0.1", 0}, {"r.local", 0}}, "b1.local"},
  };
  for (auto& [answers, chosen] : rows) {
    SCOPED_TRACE(answers.back().first + " answered last");
    Resolve r("r.local", "b1.local,b2.local");
    for (auto& [who, status] : answers) {
      EXPECT_TRUE(r.reports.empty()) << "decided before " << who;
      r.http.respond("//" + who,
                     status ? test::FakeHttp::status(status) : test::FakeHttp::failure());
    }
    EXPECT_EQ(r.reports, std::vector<Host>{chosen});
    EXPECT_TRUE(r.http.pending.empty());  // the rest cancelled
  }
}

}  // namespace qm::suite_server_test

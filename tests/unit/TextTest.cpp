#include "core/Text.h"

#include <gtest/gtest.h>

namespace qm {

TEST(Text, Utf8IsShortestFormsOfScalarValuesAndTrimTakesOnlyAsciiBlanks) {
  std::pair<std::string, unsigned> valid[] = {
      {"\x7F", 0x7F},     {"\u0080", 0x80},   {"\u07FF", 0x7FF},       {"\u0800", 0x800},
      {"\uD7FF", 0xD7FF}, {"\uE000", 0xE000}, {"\U00010000", 0x10000}, {"\U0010FFFF", 0x10FFFF}};
  for (auto& [s, cp] : valid) {
    unsigned got = 0;
    EXPECT_EQ(text::decodeUtf8("a" + s, 1, got), s.size()) << cp;
    EXPECT_EQ(got, cp);
  }
  for (std::string s :
       {"\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
        "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\x80", "\xC3", "\xC3("})
    EXPECT_FALSE(text::validUtf8("a" + s)) << testing::PrintToString(s);
  std::pair<std::string, std::string> trims[] = {
      {" \t\n\r\v\fa b\f\v\r\n\t ", "a b"}, {"\t\r\n", ""}, {"", ""}, {"\xC2\xA0x", "\xC2\xA0x"}};
  for (auto& [in, out] : trims) EXPECT_EQ(text::trim(in), out) << in;
}

}  // namespace qm

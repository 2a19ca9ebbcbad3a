#include "text/unicode.hpp"

#include <gtest/gtest.h>

namespace orvane::text {
namespace {

TEST(ToLowerTest, FullUnicodeMapping) {
  const std::pair<std::string, std::string> cases[] = {
      {"ABC def", "abc def"}, {"ÉLEVÉ", "élevé"}, {"INCOHÉRENCE", "incohérence"},
      {"ΟΔΟΣ", "οδος"},                    // final sigma
      {"ΣΑ", "σα"},           {"İ", "i̇"},  // U+0130 maps to two code points
      {"ÆØÅ", "æøå"},         {"", ""},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(to_lower(input), expected) << input;
  }
}

TEST(ToLowerTest, FinalSigmaOnlyAtTheEndOfAWord) {
  EXPECT_EQ(to_lower("ΟΔΟΣ ΟΔΟΣ"), "οδος οδος");
}

TEST(SpaceTest, MatchesThePythonWhiteSpaceSet) {
  for (const char32_t c :
       {U' ', U'\t', U'\n', U'\v', U'\f', U'\r', char32_t{0x1C}, char32_t{0x1F}, char32_t{0x85},
        char32_t{0xA0}, char32_t{0x1680}, char32_t{0x2000}, char32_t{0x200A}, char32_t{0x2028},
        char32_t{0x2029}, char32_t{0x202F}, char32_t{0x205F}, char32_t{0x3000}}) {
    EXPECT_TRUE(is_space(c)) << static_cast<unsigned>(c);
  }
  for (const char32_t c : {U'a', char32_t{0x08}, char32_t{0x200B}, char32_t{0xFEFF},
                           char32_t{0x180E}, char32_t{0x2060}}) {
    EXPECT_FALSE(is_space(c)) << static_cast<unsigned>(c);
  }
}

TEST(TrimTest, StripsUnicodeWhiteSpaceOnBothEnds) {
  EXPECT_EQ(trim("  a b \n"), "a b");
  EXPECT_EQ(trim("\u3000\u00A0é\u2028"), "é");
  EXPECT_EQ(trim("\xEF\xBB\xBFx"), "\xEF\xBB\xBFx");  // U+FEFF is not white space
  EXPECT_EQ(trim(" \t\n"), "");
  EXPECT_EQ(trim(""), "");
  EXPECT_TRUE(is_blank(" \n\u3000\t"));
  EXPECT_FALSE(is_blank(" . "));
}

}  // namespace
}  // namespace orvane::text

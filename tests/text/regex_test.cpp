#include "text/regex.hpp"

#include <gtest/gtest.h>

namespace orvane::text {
namespace {

TEST(RegexTest, FindsGroupsByteOffsets) {
  const Regex regex("(é+)(x)?");
  const std::string subject = "aééb";
  const auto match = regex.find(subject);
  ASSERT_TRUE(match);
  EXPECT_EQ(match->begin(), 1u);
  EXPECT_EQ(match->end(), 5u);
  EXPECT_EQ(match->group(subject, 1), "éé");
  EXPECT_FALSE(match->groups[2]);
  EXPECT_EQ(match->group(subject, 2), "");
  EXPECT_EQ(regex.group_count(), 2u);
}

TEST(RegexTest, OptionsChangeDotCaseAndAnchors) {
  EXPECT_FALSE(Regex("a.b").find("a\nb"));
  EXPECT_TRUE(Regex("a.b", {.dot_all = true}).find("a\nb"));
  EXPECT_FALSE(Regex("élevé").find("ÉLEVÉ"));
  EXPECT_TRUE(Regex("élevé", {.case_insensitive = true}).find("ÉLEVÉ"));
  EXPECT_FALSE(Regex("^b").find("a\nb"));
  EXPECT_TRUE(Regex("^b", {.multi_line = true}).find("a\nb"));
}

TEST(RegexTest, ClassesAreUnicodeAware) {
  const std::string subject = "été_1 ٣";
  const auto word = Regex("\\w+").find(subject);
  ASSERT_TRUE(word);
  EXPECT_EQ(word->group(subject, 0), "été_1");
  EXPECT_TRUE(Regex("\\d").find("٣"));
  EXPECT_TRUE(Regex("\\s").find("\u3000"));
}

TEST(RegexTest, StartOffsetAndEmptyMatchFlags) {
  const Regex regex("x*");
  const auto first = regex.find("ab", 1);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->begin(), 1u);
  EXPECT_EQ(first->end(), 1u);
  EXPECT_FALSE(regex.find("ab", 1, {.not_empty_at_start = true, .anchored = true}));
}

TEST(RegexTest, BadPatternThrowsWithMessage) {
  try {
    Regex("(unclosed");
    FAIL() << "no exception";
  } catch (const RegexError& error) {
    EXPECT_NE(std::string(error.what()).find("missing closing parenthesis"), std::string::npos)
        << error.what();
  }
}

TEST(RegexTest, CatastrophicPatternHitsTheLimitInsteadOfHanging) {
  const Regex regex("(a+)+$");
  const std::string subject = std::string(30'000, 'a') + "b";
  EXPECT_THROW(regex.find(subject), RegexLimitError);
}

}  // namespace
}  // namespace orvane::text

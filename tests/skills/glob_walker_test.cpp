#include "skills/glob_walker.hpp"

#include <gtest/gtest.h>

#include "skill_test_support.hpp"
#include "support/temp_dir.hpp"

namespace orvane::glob {
namespace {

bool matches(std::string_view pattern, std::string_view name) {
  const GlobPattern parsed(pattern);
  return wildcard_matches(parsed.segments().at(0).tokens, name);
}

TEST(WildcardMatch, Table) {
  struct Row {
    std::string pattern;
    std::string name;
    bool expected;
  };
  const std::vector<Row> rows = {
      {"*.h", "a.h", true},     {"*.h", ".h", true},
      {"*.h", "a.hpp", false},  {"*a*b*", "xaybz", true},
      {"*a*b", "ab_ba", false}, {"a*a*a", "aaaa", true},
      {"?", "é", true},                               // one character, two bytes
      {"??", "é", false},       {"?", "\xff", true},  // a stray byte counts as one character
      {"[abc]x", "bx", true},   {"[!abc]x", "bx", false},
      {"[!abc]x", "dx", true},  {"[a-c]", "b", true},
      {"[a-c]", "-", false},    {"[-a]", "-", true},  // a leading hyphen is a member
      {"[a-]", "-", true},                            // so is a trailing one
      {"[z-a]", "m", false},                          // a reversed range matches nothing
      {"[z-a]", "z", false},    {"[]]", "]", true},   // "]" first is a member
      {"[!]]", "a", true},      {"[!]]", "]", false},
      {"[a-cx-z]", "y", true},  {"[a-c-e]", "-", true},  // a hyphen right after a range is a member
      {"[a-c-e]", "d", false},  {"[é-ë]", "ê", true},    // ranges over code points
      {"[ab", "[ab", true},                              // an unclosed bracket is literal
      {"a\\*", "a*", false},  // no backslash escapes: "\" is literal, "*" a wildcard
      {"a\\*", "a\\b", true},   {"*.PY", "x.py", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(matches(row.pattern, row.name), row.expected) << row.pattern << " vs " << row.name;
  }
}

TEST(GlobPattern, Segments) {
  const GlobPattern pattern("./a//**/b*/./c/");
  const auto& segments = pattern.segments();
  ASSERT_EQ(segments.size(), 5U);
  EXPECT_EQ(segments[0].kind, GlobPattern::Segment::Kind::literal);
  EXPECT_EQ(segments[1].kind, GlobPattern::Segment::Kind::recursive);
  EXPECT_EQ(segments[2].kind, GlobPattern::Segment::Kind::wildcard);
  EXPECT_EQ(segments[3].kind, GlobPattern::Segment::Kind::literal);
  EXPECT_EQ(segments[4].kind, GlobPattern::Segment::Kind::end);
  EXPECT_FALSE(pattern.may_repeat());
  EXPECT_TRUE(GlobPattern("**/x/**").may_repeat());
}

TEST(GlobPattern, Errors) {
  struct Row {
    std::string pattern;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"", "Unacceptable pattern: ''"},
      {".", "Unacceptable pattern: '.'"},
      {"//", "Non-relative patterns are unsupported"},
      {"/a", "Non-relative patterns are unsupported"},
      {"a/**b", "Invalid pattern: '**' can only be an entire path component"},
      {"***", "Invalid pattern: '**' can only be an entire path component"},
      {"./'", "Unacceptable pattern: \"./'\""},
  };
  for (const auto& row : rows) {
    try {
      const GlobPattern pattern(row.pattern);
      if (row.pattern != "./'") ADD_FAILURE() << "accepted " << row.pattern;
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(error.what(), row.message) << row.pattern;
    }
  }
}

TEST(WalkGlob, StopsAtOnceWhenTheVisitorSaysSo) {
  const testing::TempDir dir;
  for (int i = 0; i < 20; ++i) {
    std::string name = std::to_string(i);
    name += "/f.txt";
    dir.write(name, "");
  }
  const SandboxValidator sandbox({dir.path()});
  int visits = 0;
  walk_glob(sandbox, dir.path().string(), GlobPattern("**/*.txt"), [&](const GlobEntry& entry) {
    ++visits;
    EXPECT_TRUE(entry.is_regular_file);
    EXPECT_TRUE(entry.confined);
    return visits < 3;
  });
  EXPECT_EQ(visits, 3);
}

}  // namespace
}  // namespace orvane::glob

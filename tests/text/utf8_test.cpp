#include "text/utf8.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "text/read_text.hpp"

namespace orvane::text {
namespace {

constexpr std::string_view kFffd = "\xEF\xBF\xBD";

std::string times(std::string_view piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

struct RepairCase {
  const char* name;
  std::string bytes;
  std::string replaced;
  std::string dropped;
};

// Expected values are those of Python's UTF-8 decoder with errors="replace" / "ignore".
class RepairTest : public ::testing::TestWithParam<RepairCase> {};

TEST_P(RepairTest, ReplacesEachMaximalSubpartOnceOrDropsIt) {
  const auto& c = GetParam();
  EXPECT_EQ(repair_utf8(c.bytes, InvalidUtf8::replace), c.replaced);
  EXPECT_EQ(repair_utf8(c.bytes, InvalidUtf8::drop), c.dropped);
  EXPECT_TRUE(is_valid_utf8(repair_utf8(c.bytes, InvalidUtf8::replace)));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, RepairTest,
    ::testing::Values(
        RepairCase{"ascii", "plain text", "plain text", "plain text"},
        RepairCase{"valid_multibyte", "é€😀", "é€😀", "é€😀"},
        RepairCase{"overlong_two_bytes", "\xC0\x80", times(kFffd, 2), ""},
        RepairCase{"overlong_three_bytes", "\xE0\x80\x80", times(kFffd, 3), ""},
        RepairCase{"surrogate", "\xED\xA0\x80", times(kFffd, 3), ""},
        RepairCase{"cut_by_end", "a\xE2\x82", "a" + std::string(kFffd), "a"},
        RepairCase{"cut_four_byte_by_end", "\xF0\x9F\x98", std::string(kFffd), ""},
        RepairCase{"bytes_f5_ff", "\xF5\xFF", times(kFffd, 2), ""},
        RepairCase{"above_max_code_point", "\xF4\x90\x80\x80", times(kFffd, 4), ""},
        RepairCase{"stray_continuation", "\xE2\x82\xAC\x80", "€" + std::string(kFffd), "€"},
        RepairCase{"mixed_truncations", "\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41",
                   times(kFffd, 4) + "A", "A"},
        RepairCase{"invalid_inside_ascii_run", "abcdefgh\xFFijklmnop",
                   "abcdefgh" + std::string(kFffd) + "ijklmnop", "abcdefghijklmnop"},
        RepairCase{"byte_order_mark_kept", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NewlinesTest, CrLfAndLoneCrBecomeLf) {
  EXPECT_EQ(normalize_newlines("a\r\nb\rc\nd\r"), "a\nb\nc\nd\n");
  EXPECT_EQ(normalize_newlines("\r\r\n\n"), "\n\n\n");
  EXPECT_EQ(normalize_newlines("none"), "none");
}

TEST(NewlinesTest, DecodeRepairsBeforeJoiningCrLf) {
  // The dropped byte sits between CR and LF: once dropped they form one line break.
  EXPECT_EQ(decode_text("a\r\xFF\nb", InvalidUtf8::drop), "a\nb");
  EXPECT_EQ(decode_text("a\r\xFF\nb", InvalidUtf8::replace), "a\n" + std::string(kFffd) + "\nb");
}

TEST(CodePointTest, CountsAndCutsWithoutSplittingCharacters) {
  const std::string text = "aé€😀b";
  EXPECT_EQ(code_point_count(text), 5u);
  EXPECT_EQ(first_code_points(text, 0), "");
  EXPECT_EQ(first_code_points(text, 2), "aé");
  EXPECT_EQ(first_code_points(text, 4), "aé€😀");
  EXPECT_EQ(first_code_points(text, 5), text);
  EXPECT_EQ(first_code_points(text, 50), text);
}

TEST(CodePointTest, NextCodePointDecodesAndAppendRoundTrips) {
  const std::string text = "aé€😀";
  std::size_t position = 0;
  std::string rebuilt;
  std::vector<char32_t> points;
  while (position < text.size()) {
    points.push_back(next_code_point(text, position));
    append_code_point(rebuilt, points.back());
  }
  EXPECT_EQ(points, (std::vector<char32_t>{U'a', U'é', U'€', U'😀'}));
  EXPECT_EQ(rebuilt, text);
}

TEST(ReadTextTest, DecodesFileWithMixedLineEndings) {
  const testing::TempDir dir;
  const auto path = dir.write("mixed.txt", "one\r\ntwo\rthree\nbad\xC3(");
  EXPECT_EQ(read_text_file(path, InvalidUtf8::drop), "one\ntwo\nthree\nbad(");
  EXPECT_EQ(read_text_file(path, InvalidUtf8::replace),
            "one\ntwo\nthree\nbad" + std::string(kFffd) + "(");
}

TEST(ReadTextTest, FailuresCarryTheOperatingSystemMessage) {
  const testing::TempDir dir;
  try {
    read_text_file(dir.path() / "missing.txt", InvalidUtf8::drop);
    FAIL() << "no exception";
  } catch (const std::system_error& error) {
    EXPECT_STREQ(error.what(), "No such file or directory");
  }
  try {
    read_text_file(dir.path(), InvalidUtf8::drop);
    FAIL() << "no exception";
  } catch (const std::system_error& error) {
    EXPECT_STREQ(error.what(), "Is a directory");
  }
}

}  // namespace
}  // namespace orvane::text

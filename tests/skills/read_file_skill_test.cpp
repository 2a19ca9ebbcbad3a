#include <sys/stat.h>

#include <gtest/gtest.h>

#include "skill_test_support.hpp"
#include "skills/disk_tools.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class ReadFileTest : public ::testing::Test {
 protected:
  ReadFileTest() : cwd(dir.path()) {}
  SkillResult read(Json arguments) const { return skill.execute_now(arguments); }

  TempDir dir;
  testing::ScopedWorkingDirectory cwd;
  ReadFileSkill skill;  // default sandbox: the working directory
};

std::string numbered_lines(int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) out += "line " + std::to_string(i) + "\n";
  return out;
}

TEST_F(ReadFileTest, RangesOfLines) {
  dir.write("ten.txt", numbered_lines(10));
  dir.write("empty.txt", "");
  struct Row {
    std::string path;
    Json start_line;  // null: absent
    Json end_line;    // null: absent
    std::string output;
    int lines_read;
    Json reported_start;
    Json reported_end;
  };
  const std::vector<Row> rows = {
      {"empty.txt", nullptr, nullptr, "", 0, 1, 0},
      {"ten.txt", nullptr, nullptr, numbered_lines(10), 10, 1, 10},
      {"ten.txt", 3, 5, "line 3\nline 4\nline 5\n", 3, 3, 5},
      {"ten.txt", 8, 50, "line 8\nline 9\nline 10\n", 3, 8, 50},
      {"ten.txt", 20, nullptr, "", 0, 20, 19},
      {"ten.txt", 5, 2, "", 0, 5, 2},
      {"ten.txt", 1, 0, numbered_lines(10), 10, 1, 10},      // 0 counts as not set
      {"ten.txt", 9, false, "line 9\nline 10\n", 2, 9, 10},  // so does false
      {"ten.txt", 0, nullptr, numbered_lines(10), 10, 0, 9},
      {"ten.txt", -2, 10, "line 8\nline 9\nline 10\n", 3, -2, 10},  // end-relative start
  };
  for (const auto& row : rows) {
    Json arguments = {{"path", row.path}};
    if (!row.start_line.is_null()) arguments["start_line"] = row.start_line;
    if (!row.end_line.is_null()) arguments["end_line"] = row.end_line;
    const SkillResult result = read(arguments);
    SCOPED_TRACE(arguments.dump());
    ASSERT_EQ(result.status, SkillResultStatus::SUCCESS) << result.error;
    EXPECT_EQ(result.output, row.output);
    const Json expected = {{"path", row.path},
                           {"lines_read", row.lines_read},
                           {"start_line", row.reported_start},
                           {"end_line", row.reported_end}};
    EXPECT_EQ(result.data.dump(), expected.dump());  // key order included
  }
}

TEST_F(ReadFileTest, TextConvention) {
  struct Row {
    std::string bytes;
    std::string output;
    int lines;
  };
  const std::vector<Row> rows = {
      {"a\nb", "a\nb", 2},                                            // last line without a feed
      {"a\r\nb\rc\n", "a\nb\nc\n", 3},                                // CR LF and lone CR
      {"ok \xff\xfe end\n", "ok \xEF\xBF\xBD\xEF\xBF\xBD end\n", 1},  // invalid bytes
      {"\xEF\xBB\xBFhi\n", "\xEF\xBB\xBFhi\n", 1},                    // the BOM stays
  };
  for (const auto& row : rows) {
    dir.write("t.txt", row.bytes);
    const SkillResult result = read({{"path", "t.txt"}});
    ASSERT_EQ(result.status, SkillResultStatus::SUCCESS);
    EXPECT_EQ(result.output, row.output);
    EXPECT_EQ(result.data["lines_read"], row.lines);
  }
}

TEST_F(ReadFileTest, PathIsNormalisedInDataAndQuotedAsGivenInMessages) {
  dir.write("a/b.txt", "x\n");
  const SkillResult result = read({{"path", "./a//./b.txt"}});
  ASSERT_EQ(result.status, SkillResultStatus::SUCCESS);
  EXPECT_EQ(result.data["path"], "a/b.txt");
  EXPECT_EQ(read({{"path", "./a//missing.txt"}}).error, "File not found: ./a//missing.txt");
}

TEST_F(ReadFileTest, FailureTable) {
  dir.write("ten.txt", numbered_lines(10));
  fs::create_directory(dir.path() / "folder");
  fs::create_symlink("nowhere.txt", dir.path() / "dangling");
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0644), 0);
  struct Row {
    Json arguments;
    SkillResultStatus status;
    std::string error;  // exact, or a prefix when `prefix_only`
    bool prefix_only;
  };
  const std::vector<Row> rows = {
      {{{"start_line", 2}}, SkillResultStatus::ERROR, "Missing required parameter: path", false},
      {{{"path", "../x.txt"}},
       SkillResultStatus::DENIED,
       "Access denied: path '../x.txt' is outside the allowed directories",
       false},
      {{{"path", "missing.txt"}}, SkillResultStatus::ERROR, "File not found: missing.txt", false},
      {{{"path", "dangling"}}, SkillResultStatus::ERROR, "File not found: dangling", false},
      {{{"path", "folder/"}}, SkillResultStatus::ERROR, "Not a file: folder/", false},
      {{{"path", "fifo"}}, SkillResultStatus::ERROR, "Not a file: fifo", false},
      {{{"path", "ten.txt"}, {"start_line", "3"}},
       SkillResultStatus::ERROR,
       "Failed to read file: start_line must be an integer, not string",
       false},
      {{{"path", "ten.txt"}, {"start_line", nullptr}},
       SkillResultStatus::ERROR,
       "Failed to read file: ",
       true},
      {{{"path", "ten.txt"}, {"start_line", 2}, {"end_line", "5"}},
       SkillResultStatus::ERROR,
       "Failed to read file: end_line must be an integer, not string",
       false},
      {{{"path", "ten.txt"}, {"start_line", 2.0}, {"end_line", 5}},
       SkillResultStatus::ERROR,
       "Failed to read file: start_line must be an integer, not float",
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments.dump());
    const SkillResult result = read(row.arguments);
    EXPECT_EQ(result.status, row.status);
    if (row.prefix_only) {
      EXPECT_TRUE(result.error.starts_with(row.error)) << result.error;
    } else {
      EXPECT_EQ(result.error, row.error);
    }
    EXPECT_EQ(result.output, "");
  }
}

TEST_F(ReadFileTest, PathOfAnotherKindReachesTheCaller) {
  EXPECT_THROW(read({{"path", 42}}), std::invalid_argument);
}

// Root reads anything, so the permission row runs as "nobody" in a child process.
TEST_F(ReadFileTest, UnreadableFileIsDenied) {
  dir.write("locked.txt", "secret\n");
  fs::permissions(dir.path(),
                  fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(dir.path() / "locked.txt", fs::perms::none);
  const std::string outcome = testing::run_unprivileged([&] {
    const ReadFileSkill reader({.sandbox = testing::sandbox_at(dir.path())});
    return testing::summary(reader.execute_now({{"path", (dir.path() / "locked.txt").string()}}));
  });
  EXPECT_EQ(outcome, "DENIED|Permission denied: " + (dir.path() / "locked.txt").string() + "|");
}

}  // namespace
}  // namespace orvane

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "skill_test_support.hpp"
#include "skills/disk_tools.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::slurp;
using testing::TempDir;

class WriteFileTest : public ::testing::Test {
 protected:
  WriteFileTest() : cwd(dir.path()) {}
  SkillResult write(Json arguments) const { return skill.execute_now(arguments); }
  std::vector<std::string> names_in(const fs::path& directory) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
      names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  testing::ScopedWorkingDirectory cwd;
  WriteFileSkill skill;
};

TEST_F(WriteFileTest, CreatesParentsAndReportsBytes) {
  const SkillResult result = write({{"path", "a/b/c.txt"}, {"content", "abc"}});
  ASSERT_EQ(result.status, SkillResultStatus::SUCCESS) << result.error;
  EXPECT_EQ(result.output, "Successfully wrote 3 bytes to a/b/c.txt");
  EXPECT_EQ(result.data.dump(), R"({"path":"a/b/c.txt","bytes_written":3,"mode":"overwrite"})");
  EXPECT_EQ(slurp(dir.path() / "a/b/c.txt"), "abc");
}

TEST_F(WriteFileTest, ModesAndContents) {
  struct Row {
    std::string initial;  // "<none>": no file before
    Json mode;            // null: absent
    std::string content;
    std::string expected_file;
    std::size_t bytes;
  };
  const std::vector<Row> rows = {
      {"a much longer old content\n", nullptr, "new", "new", 3},
      {"old\n", "append", "more\n", "old\nmore\n", 5},
      {"<none>", "append", "fresh", "fresh", 5},
      {"old", nullptr, "", "", 0},
      {"old", "Append", "x", "x", 1},  // only "append" exactly appends
      {"old", "sideways", "x", "x", 1},
      {"old", 7, "x", "x", 1},
      {"old", "overwrite", "éé", "éé", 4},  // UTF-8 bytes are counted
      {"old", "append", "line\r\n", "oldline\r\n", 6},
  };
  for (const auto& row : rows) {
    const fs::path target = dir.path() / "f.txt";
    fs::remove(target);
    if (row.initial != "<none>") dir.write("f.txt", row.initial);
    Json arguments = {{"path", "f.txt"}, {"content", row.content}};
    if (!row.mode.is_null()) arguments["mode"] = row.mode;
    SCOPED_TRACE(arguments.dump());
    const SkillResult result = write(arguments);
    ASSERT_EQ(result.status, SkillResultStatus::SUCCESS) << result.error;
    EXPECT_EQ(slurp(target), row.expected_file);
    EXPECT_EQ(result.data["bytes_written"], row.bytes);
    EXPECT_EQ(result.data["mode"], row.mode.is_null() ? Json("overwrite") : row.mode);
  }
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"f.txt"});  // no temporary left
}

TEST_F(WriteFileTest, OutputQuotesThePathAsGivenAndDataNormalisesIt) {
  const SkillResult result = write({{"path", ".//d/./x.txt"}, {"content", "x"}});
  EXPECT_EQ(result.output, "Successfully wrote 1 bytes to .//d/./x.txt");
  EXPECT_EQ(result.data["path"], "d/x.txt");
}

TEST_F(WriteFileTest, OverwriteKeepsPermissionBitsAndWritesThroughLinks) {
  dir.write("script.sh", "old");
  fs::permissions(dir.path() / "script.sh", fs::perms(0750));
  ASSERT_EQ(write({{"path", "script.sh"}, {"content", "new"}}).status, SkillResultStatus::SUCCESS);
  EXPECT_EQ(fs::status(dir.path() / "script.sh").permissions(), fs::perms(0750));

  dir.write("real/target.txt", "old");
  fs::create_symlink("real/target.txt", dir.path() / "link.txt");
  ASSERT_EQ(write({{"path", "link.txt"}, {"content", "via link"}}).status,
            SkillResultStatus::SUCCESS);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));
  EXPECT_EQ(slurp(dir.path() / "real/target.txt"), "via link");
}

TEST_F(WriteFileTest, FailureTable) {
  dir.write("keep.txt", "kept");
  dir.write("plain", "a file");
  fs::create_directory(dir.path() / "folder");
  struct Row {
    Json arguments;
    SkillResultStatus status;
    std::string error;
  };
  const std::vector<Row> rows = {
      {{{"content", "x"}}, SkillResultStatus::ERROR, "Missing required parameter: path"},
      {{{"path", "x.txt"}}, SkillResultStatus::ERROR, "Missing required parameter: content"},
      {{{"path", "../x.txt"}, {"content", "x"}},
       SkillResultStatus::DENIED,
       "Access denied: path '../x.txt' is outside the allowed directories"},
      {{{"path", "folder"}, {"content", "x"}},
       SkillResultStatus::ERROR,
       "Failed to write file: Is a directory"},
      {{{"path", "plain/child.txt"}, {"content", "x"}},
       SkillResultStatus::ERROR,
       "Failed to write file: Not a directory"},
      // Refused before anything is created or opened: the old content stays.
      {{{"path", "keep.txt"}, {"content", 12}},
       SkillResultStatus::ERROR,
       "Failed to write file: content must be a string, not number"},
      {{{"path", "keep.txt"}, {"content", nullptr}},
       SkillResultStatus::ERROR,
       "Failed to write file: content must be a string, not null"},
      {{{"path", "keep.txt"}, {"content", std::string("bad \xff byte")}},
       SkillResultStatus::ERROR,
       "Failed to write file: content is not valid UTF-8"},
      {{{"path", "new/dir/x.txt"}, {"content", Json::array()}},
       SkillResultStatus::ERROR,
       "Failed to write file: content must be a string, not array"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments.dump(-1, ' ', false, Json::error_handler_t::replace));
    const SkillResult result = write(row.arguments);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.error, row.error);
  }
  EXPECT_EQ(slurp(dir.path() / "keep.txt"), "kept");
  EXPECT_FALSE(fs::exists(dir.path() / "new"));
}

TEST_F(WriteFileTest, PathOfAnotherKindReachesTheCaller) {
  EXPECT_THROW(write({{"path", 5}, {"content", "x"}}), std::invalid_argument);
}

// A write that fails midway (the file-size limit stops it after 64 KiB) leaves the old content
// whole and no temporary file behind.
TEST_F(WriteFileTest, FailedOverwriteKeepsTheOldContent) {
  dir.write("big.txt", "the old content\n");
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SkillResult result = write({{"path", "big.txt"}, {"content", std::string(1 << 20, 'x')}});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous_handler);

  EXPECT_EQ(result.status, SkillResultStatus::ERROR);
  EXPECT_EQ(result.error, "Failed to write file: File too large");
  EXPECT_EQ(slurp(dir.path() / "big.txt"), "the old content\n");
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"big.txt"});
}

// Root writes anywhere, so the permission rows run as "nobody" in a child process.
TEST_F(WriteFileTest, UnwritableDirectoryIsDenied) {
  dir.write("locked/old.txt", "old");
  fs::permissions(dir.path(), fs::perms(0755));
  fs::permissions(dir.path() / "locked", fs::perms(0555));
  const std::string target = (dir.path() / "locked/new.txt").string();
  const std::string existing = (dir.path() / "locked/old.txt").string();
  const std::string nested = (dir.path() / "locked/sub/new.txt").string();
  const std::string outcome = testing::run_unprivileged([&] {
    const WriteFileSkill writer({.sandbox = testing::sandbox_at(dir.path())});
    return testing::summary(writer.execute_now({{"path", target}, {"content", "x"}})) + "\n" +
           testing::summary(writer.execute_now({{"path", existing}, {"content", "x"}})) + "\n" +
           testing::summary(writer.execute_now({{"path", nested}, {"content", "x"}}));
  });
  EXPECT_EQ(outcome, "DENIED|Permission denied: " + target + "|\nDENIED|Permission denied: " +
                         existing + "|\nDENIED|Permission denied: " + nested + "|");
  EXPECT_EQ(slurp(existing), "old");
}

}  // namespace
}  // namespace orvane

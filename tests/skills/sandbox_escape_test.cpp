// Attempts to leave the sandbox through the three skills. Each must be refused, and nothing
// outside may be read, created or changed. Every attempt runs with both ways of opening
// beneath a root (openat2, and the walk that follows no link).

#include <gtest/gtest.h>

#include "skill_test_support.hpp"
#include "skills/disk_tools.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class EscapeTest : public ::testing::TestWithParam<BeneathOpen> {
 protected:
  EscapeTest() : root(base.path() / "root"), outside(base.path() / "outside") {
    base.write("root/inside.txt", "inside SECRET-free\n");
    base.write("outside/secret.txt", "SECRET\n");
    base.write("outside/nested/secret.txt", "SECRET\n");
    base.write("rootbad/secret.txt", "SECRET\n");
    fs::create_directory_symlink(outside, root / "to_outside");
    fs::create_symlink(outside / "secret.txt", root / "to_secret");
    fs::create_symlink("../outside/ghost.txt", root / "dangling_out");
    fs::create_symlink("to_secret", root / "chain");
  }

  // Everything under base/outside and base/rootbad, with contents, to compare before/after.
  std::string snapshot() const {
    std::string out;
    for (const auto& top : {outside, base.path() / "rootbad"}) {
      for (const auto& entry : fs::recursive_directory_iterator(top)) {
        out += entry.path().string() + "=" +
               (entry.is_regular_file() ? testing::slurp(entry.path()) : "<dir>") + ";";
      }
    }
    return out;
  }

  TempDir base;
  fs::path root;
  fs::path outside;
};

TEST_P(EscapeTest, EveryAttemptIsRefusedAndNothingOutsideChanges) {
  const testing::ScopedWorkingDirectory cwd(root);
  const auto sandbox = testing::sandbox_at(root, GetParam());
  const ReadFileSkill reader({.sandbox = sandbox});
  const WriteFileSkill writer({.sandbox = sandbox});
  const SearchFilesSkill searcher({.sandbox = sandbox});
  const std::string before = snapshot();
  const std::string bad = (base.path() / "rootbad").string();

  const std::vector<std::string> read_attempts = {
      "../outside/secret.txt",
      (outside / "secret.txt").string(),
      "to_secret",              // a link inside to a file outside
      "chain",                  // a link to that link
      "to_outside/secret.txt",  // through a link to a directory outside
      "to_outside/nested/../secret.txt",
      "../rootbad/secret.txt",  // the prefix trick, relative
      bad + "/secret.txt",      // and absolute
      std::string("inside.txt\0../../outside/secret.txt", 34),
  };
  for (const auto& path : read_attempts) {
    const SkillResult result = reader.execute_now({{"path", path}});
    EXPECT_EQ(result.status, SkillResultStatus::DENIED) << path;
    EXPECT_EQ(result.output.find("SECRET"), std::string::npos) << path;
  }

  const std::vector<std::string> write_attempts = {
      "../outside/new.txt",
      "to_outside/new.txt",         // a new file under a linked directory outside
      "to_outside/deeper/new.txt",  // and a new directory there
      "to_secret",                  // through a link to a file outside
      "chain",
      "dangling_out",  // a dangling link whose target would be outside
      bad + "/new.txt",
      (outside / "secret.txt").string(),
  };
  for (const auto& path : write_attempts) {
    const SkillResult result = writer.execute_now({{"path", path}, {"content", "PWNED"}});
    EXPECT_EQ(result.status, SkillResultStatus::DENIED) << path;
    const SkillResult appended =
        writer.execute_now({{"path", path}, {"content", "PWNED"}, {"mode", "append"}});
    EXPECT_EQ(appended.status, SkillResultStatus::DENIED) << path;
  }

  for (const auto& directory :
       {std::string(".."), outside.string(), std::string("to_outside"), bad}) {
    EXPECT_EQ(searcher.execute_now({{"pattern", "**/*"}, {"directory", directory}}).status,
              SkillResultStatus::DENIED)
        << directory;
  }
  struct SearchRow {
    std::string pattern;
    std::string content_pattern;
    std::vector<std::string> expected_paths;
  };
  const std::vector<SearchRow> searches = {
      {"../*", "", {}},
      {"../outside/*", "", {}},
      {"../*/*.txt", "", {}},
      {"../root/inside.txt", "", {"../root/inside.txt"}},  // back inside: allowed
      {"**/*", "", {"inside.txt"}},                        // links to outside are skipped
      {"*/*", "", {}},                                     // enters to_outside: refused
      {"*/*/*", "", {}},
      {"to_outside/*", "", {}},
      {"**/*", "SECRET", {"inside.txt"}},
  };
  for (const auto& row : searches) {
    Json arguments = {{"pattern", row.pattern}};
    if (!row.content_pattern.empty()) arguments["content_pattern"] = row.content_pattern;
    const SkillResult result = searcher.execute_now(arguments);
    ASSERT_EQ(result.status, SkillResultStatus::SUCCESS) << row.pattern << " " << result.error;
    std::vector<std::string> paths;
    for (const auto& match : result.data["matches"]) paths.push_back(match["path"]);
    EXPECT_EQ(paths, row.expected_paths) << row.pattern;
  }

  EXPECT_EQ(snapshot(), before);
  EXPECT_FALSE(fs::exists(outside / "ghost.txt"));
}

INSTANTIATE_TEST_SUITE_P(BothResolutions, EscapeTest,
                         ::testing::Values(BeneathOpen::kernel_first, BeneathOpen::walk_only));

}  // namespace
}  // namespace orvane

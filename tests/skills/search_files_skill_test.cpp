#include <sys/stat.h>

#include <gtest/gtest.h>

#include "skill_test_support.hpp"
#include "skills/disk_tools.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::string> paths_of(const SkillResult& result) {
  std::vector<std::string> paths;
  for (const auto& match : result.data["matches"]) paths.push_back(match["path"]);
  return paths;
}

std::vector<std::string> sorted(std::vector<std::string> values) {
  std::sort(values.begin(), values.end());
  return values;
}

class SearchFilesTest : public ::testing::Test {
 protected:
  SearchFilesTest() : cwd(dir.path()) {
    dir.write("app.py", "print('top')\n");
    dir.write("b.py", "");
    dir.write(".env", "KEY=1\n");
    dir.write("README.md", "readme\n");
    dir.write("Upper.PY", "");
    dir.write("src/app.py", "def main(): pass\n");
    dir.write("src/util/x.py", "x = 1\n");
    fs::create_directory_symlink("src", dir.path() / "link_dir");
  }
  SkillResult search(Json arguments) const { return skill.execute_now(arguments); }

  TempDir dir;
  testing::ScopedWorkingDirectory cwd;
  SearchFilesSkill skill;
};

TEST_F(SearchFilesTest, GlobPatterns) {
  struct Row {
    std::string pattern;
    std::vector<std::string> expected;  // sorted; the walk's own order is the listing order
  };
  const std::vector<Row> rows = {
      {"*.py", {"app.py", "b.py"}},
      {"**/*.py", {"app.py", "b.py", "src/app.py", "src/util/x.py"}},     // link_dir not entered
      {"**/**/*.py", {"app.py", "b.py", "src/app.py", "src/util/x.py"}},  // each path once
      {"**", {}},                                                         // directories only
      {"*", {".env", "README.md", "Upper.PY", "app.py", "b.py"}},         // dot files too
      {"*.PY", {"Upper.PY"}},
      {"link_dir/*.py", {"link_dir/app.py"}},  // a link named by the pattern is followed
      {"*/*.py", {"link_dir/app.py", "src/app.py"}},
      {"[!b]*.py", {"app.py"}},
      {"[a-b].py", {"b.py"}},
      {"?.py", {"b.py"}},
      {"src/../*.py", {"src/../app.py", "src/../b.py"}},
      {"./src//util/./x.py", {"src/util/x.py"}},
      {"src/app.py", {"src/app.py"}},
      {"src/", {}},
      {"missing/*.py", {}},
  };
  for (const auto& row : rows) {
    const SkillResult result = search({{"pattern", row.pattern}});
    ASSERT_EQ(result.status, SkillResultStatus::SUCCESS) << row.pattern << ": " << result.error;
    EXPECT_EQ(sorted(paths_of(result)), row.expected) << row.pattern;
    EXPECT_EQ(result.output, "Found " + std::to_string(row.expected.size()) + " matching files");
  }
}

TEST_F(SearchFilesTest, RecursiveWalkListsADirectoryBeforeItsSubdirectories) {
  const std::vector<std::string> paths = paths_of(search({{"pattern", "**/*.py"}}));
  ASSERT_EQ(paths.size(), 4U);
  EXPECT_EQ(sorted({paths[0], paths[1]}), (std::vector<std::string>{"app.py", "b.py"}));
  EXPECT_EQ(paths[2], "src/app.py");
  EXPECT_EQ(paths[3], "src/util/x.py");
}

TEST_F(SearchFilesTest, MaxResultsAndDirectories) {
  const std::vector<std::string> all = paths_of(search({{"pattern", "**/*"}}));
  ASSERT_EQ(all.size(), 7U);
  const SkillResult two = search({{"pattern", "**/*"}, {"max_results", 2}});
  EXPECT_EQ(paths_of(two), (std::vector<std::string>{all[0], all[1]}));
  EXPECT_EQ(two.data["total_matches"], 2);
  for (const Json& none : {Json(0), Json(-3), Json(false)}) {
    const SkillResult result = search({{"pattern", "**/*"}, {"max_results", none}});
    EXPECT_EQ(result.output, "Found 0 matching files");
    EXPECT_EQ(result.data["matches"], Json::array());
  }
  EXPECT_EQ(paths_of(search({{"pattern", "*"}, {"directory", "src"}})),
            std::vector<std::string>{"src/app.py"});
  EXPECT_EQ(paths_of(search({{"pattern", "*"}, {"directory", "./src/"}})),
            std::vector<std::string>{"src/app.py"});
  EXPECT_EQ(paths_of(search({{"pattern", "*.py"}, {"directory", (dir.path() / "src").string()}})),
            std::vector<std::string>{(dir.path() / "src/app.py").string()});
  const SkillResult on_file = search({{"pattern", "*"}, {"directory", "app.py"}});
  EXPECT_EQ(on_file.status, SkillResultStatus::SUCCESS);
  EXPECT_EQ(on_file.data["total_matches"], 0);
}

TEST_F(SearchFilesTest, ResultDataKeysInOrder) {
  const SkillResult plain = search({{"pattern", "src/*.py"}});
  EXPECT_EQ(
      plain.data.dump(),
      R"({"matches":[{"path":"src/app.py"}],"pattern":"src/*.py","content_pattern":null,"total_matches":1})");
  const SkillResult empty_regex = search({{"pattern", "src/*.py"}, {"content_pattern", ""}});
  EXPECT_EQ(
      empty_regex.data.dump(),
      R"({"matches":[{"path":"src/app.py"}],"pattern":"src/*.py","content_pattern":"","total_matches":1})");
  const SkillResult with_regex = search({{"pattern", "src/*.py"}, {"content_pattern", "ma.n"}});
  EXPECT_EQ(with_regex.data.dump(),
            R"({"matches":[{"path":"src/app.py","content_matches":1,"match_previews":["main"]}],)"
            R"("pattern":"src/*.py","content_pattern":"ma.n","total_matches":1})");
}

TEST_F(SearchFilesTest, ContentMatching) {
  const std::string long_match = std::string(120, 'x') + std::string(130, 'e');
  std::string hundred;
  for (int i = 0; i < 100; ++i) hundred += i < 120 ? "x" : "";
  struct Row {
    std::string bytes;
    std::string regex;
    int count;  // 0: the file is left out
    std::vector<std::string> previews;
  };
  const std::vector<Row> rows = {
      {"a1 a2 a3 a4 a5", "a\\d", 5, {"a1", "a2", "a3"}},
      {"aaaaa", "aa", 2, {"aa", "aa"}},  // non-overlapping
      {"ab", "a|", 3, {"a", "", ""}},    // empty matches count, after a non-empty one too
      {"", "x*", 1, {""}},               // an empty file matches an empty match once
      {"no match here", "zzz", 0, {}},
      {"start\nstart", "^start", 1, {"start"}},  // ^ anchors at the start of the text only
      {"end\n", "end$", 1, {"end"}},             // $ before a final line feed
      {"a\r\nb", "a\\nb", 1, {"a\nb"}},          // CR LF read as LF
      {"a\rb", "\\r", 0, {}},
      {"h\xC3\xA9llo w\xC3\xB6rld", "\\b\\w+\\b", 2, {"h\xC3\xA9llo", "w\xC3\xB6rld"}},
      {"\xD9\xA3 7", "\\d", 2, {"\xD9\xA3", "7"}},  // Unicode digits
      {"bad \xff byte", "\\x{FFFD}", 1, {"\xEF\xBF\xBD"}},
      {"Case", "case", 0, {}},
      // ASCII-only files go through the same pattern without Unicode properties; caseless
      // matching of characters beyond ASCII still applies there.
      {"Kelvin k", "(?i)\\x{212A}", 2, {"K", "k"}},
      {"snake_case", "\\w+", 1, {"snake_case"}},
      {"tab\tand\x0bvt", "\\s", 2, {"\t", "\x0b"}},
      {std::string(250, 'y'), "y+", 1, {std::string(100, 'y')}},
      {std::string(150, 'x') + std::string(150, 'e'), "x+\\w+", 1, {std::string(100, 'x')}},
      {"\xC3\xA9" + std::string(200, 'e'), "\\w+", 1, {"\xC3\xA9" + std::string(99, 'e')}},
  };
  for (const auto& row : rows) {
    dir.write("src/util/content.txt", row.bytes);
    SCOPED_TRACE(row.regex);
    const SkillResult result =
        search({{"pattern", "src/util/content.txt"}, {"content_pattern", row.regex}});
    ASSERT_EQ(result.status, SkillResultStatus::SUCCESS) << result.error;
    if (row.count == 0) {
      EXPECT_EQ(result.data["total_matches"], 0);
      continue;
    }
    ASSERT_EQ(result.data["total_matches"], 1);
    const Json& entry = result.data["matches"][0];
    EXPECT_EQ(entry["content_matches"], row.count);
    EXPECT_EQ(entry["match_previews"], Json(row.previews));
  }
}

// A pattern that backtracks without end on one file hits the matcher's limit; that file is
// left out and the search goes on with the others.
TEST_F(SearchFilesTest, CatastrophicPatternSkipsOnlyThatFile) {
  dir.write("cat/evil.txt", std::string(30000, 'a') + "b");
  dir.write("cat/fine.txt", "aaa");
  const SkillResult result = search({{"pattern", "cat/*.txt"}, {"content_pattern", "(a+)+$"}});
  ASSERT_EQ(result.status, SkillResultStatus::SUCCESS);
  EXPECT_EQ(paths_of(result), std::vector<std::string>{"cat/fine.txt"});
}

TEST_F(SearchFilesTest, FailureTable) {
  struct Row {
    Json arguments;
    SkillResultStatus status;
    std::string error;
  };
  const std::vector<Row> rows = {
      {{{"directory", "."}}, SkillResultStatus::ERROR, "Missing required parameter: pattern"},
      {{{"pattern", "*"}, {"directory", ".."}},
       SkillResultStatus::DENIED,
       "Access denied: path '..' is outside the allowed directories"},
      {{{"pattern", "*"}, {"directory", "nope"}},
       SkillResultStatus::ERROR,
       "Directory not found: nope"},
      {{{"pattern", "*"}, {"content_pattern", "(unclosed"}},
       SkillResultStatus::ERROR,
       "Invalid regex pattern: missing closing parenthesis at position 9"},
      {{{"pattern", "/etc/*"}},
       SkillResultStatus::ERROR,
       "Search failed: Non-relative patterns are unsupported"},
      {{{"pattern", ""}}, SkillResultStatus::ERROR, "Search failed: Unacceptable pattern: ''"},
      {{{"pattern", "./"}}, SkillResultStatus::ERROR, "Search failed: Unacceptable pattern: './'"},
      {{{"pattern", "src/a**"}},
       SkillResultStatus::ERROR,
       "Search failed: Invalid pattern: '**' can only be an entire path component"},
      {{{"pattern", 5}},
       SkillResultStatus::ERROR,
       "Search failed: pattern must be a string, not number"},
      {{{"pattern", "*"}, {"max_results", "10"}},
       SkillResultStatus::ERROR,
       "Search failed: max_results must be a number, not string"},
      {{{"pattern", "*"}, {"content_pattern", 5}},
       SkillResultStatus::ERROR,
       "Search failed: content_pattern must be a string, not number"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments.dump());
    const SkillResult result = search(row.arguments);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.error, row.error);
  }
  // The limit is compared only when a path arrives.
  EXPECT_EQ(search({{"pattern", "none*"}, {"max_results", "10"}}).status,
            SkillResultStatus::SUCCESS);
  EXPECT_THROW(search({{"pattern", "*"}, {"directory", 3}}), std::invalid_argument);
}

// Root reads everything, so the unreadable cases run as "nobody" in a child process.
TEST_F(SearchFilesTest, UnreadableFilesAndDirectories) {
  dir.write("perm/locked.txt", "needle");
  dir.write("perm/open.txt", "needle");
  dir.write("perm/closed/inner.txt", "needle");
  dir.write("perm/later/inner.txt", "needle");
  fs::permissions(dir.path(), fs::perms(0755));
  fs::permissions(dir.path() / "perm", fs::perms(0755));
  fs::permissions(dir.path() / "perm/locked.txt", fs::perms::none);
  fs::permissions(dir.path() / "perm/closed", fs::perms::none);
  const std::string root = dir.path().string();
  const std::string outcome = testing::run_unprivileged([&] {
    const SearchFilesSkill searcher({.sandbox = testing::sandbox_at(root)});
    const auto joined = [](const SkillResult& result) {
      std::vector<std::string> paths = paths_of(result);
      std::sort(paths.begin(), paths.end());
      std::string out;
      for (const auto& path : paths) out += path.substr(path.rfind("perm/")) + ",";
      return out;
    };
    const std::string directory = root + "/perm";
    return joined(searcher.execute_now({{"pattern", "**/*.txt"}, {"directory", directory}})) + "|" +
           joined(searcher.execute_now(
               {{"pattern", "**/*.txt"}, {"directory", directory}, {"content_pattern", "needle"}}));
  });
  EXPECT_EQ(
      outcome,
      "perm/later/inner.txt,perm/locked.txt,perm/open.txt,|perm/later/inner.txt,perm/open.txt,");
}

}  // namespace
}  // namespace orvane

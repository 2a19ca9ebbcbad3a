#include "text/paths.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace orvane::text {
namespace {

TEST(NormalizePathTextTest, Table) {
  const std::pair<std::string, std::string> cases[] = {
      {"docs//a/./b.txt", "docs/a/b.txt"},
      {"", "."},
      {".", "."},
      {"./", "."},
      {"a/", "a"},
      {"a/../b", "a/../b"},
      {"../x", "../x"},
      {"/", "/"},
      {"///a//b/", "/a/b"},
      {"//a", "//a"},
      {"./a/./", "a"},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(normalize_path_text(input), expected) << input;
  }
}

class RelativePathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path("/tmp");
  }
  void TearDown() override { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

TEST_F(RelativePathTest, Table) {
  struct Case {
    const char* path;
    const char* root;
    const char* expected;
  };
  const Case cases[] = {
      {"/proj/src/a.py", "/proj", "src/a.py"},
      {"/proj", "/proj", "."},
      {"/proj/", "/proj", "."},
      {"/other/x.py", "/proj/sub", "../../other/x.py"},
      {"/proj/x.py", "/proj/sub/deep", "../../x.py"},
      {"src/a.py", ".", "src/a.py"},  // against the working directory /tmp
      {"/tmp/p/a.py", "p", "a.py"},
      {"../etc/x", "/tmp", "../etc/x"},
      {"/proj/./a/../b.py", "/proj//", "b.py"},
      {"/proj/dir\\file.py", "/proj", "dir/file.py"},  // backslashes written as "/"
      {"/projx/a", "/proj", "../projx/a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(relative_path_text(c.path, c.root), c.expected) << c.path << " from " << c.root;
  }
}

TEST_F(RelativePathTest, EmptyArgumentsAreRefused) {
  EXPECT_THROW(relative_path_text("", "/"), std::invalid_argument);
  EXPECT_THROW(relative_path_text("/a", ""), std::invalid_argument);
}

TEST_F(RelativePathTest, AbsolutePathTextFoldsParentSteps) {
  EXPECT_EQ(absolute_path_text("a/../b"), "/tmp/b");
  EXPECT_EQ(absolute_path_text("/../.."), "/");
  EXPECT_EQ(absolute_path_text("."), "/tmp");
}

}  // namespace
}  // namespace orvane::text

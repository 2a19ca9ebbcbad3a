#include "skills/sandbox_validator.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "skill_test_support.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// base/root is the sandbox; base/outside and base/rootbad lie beside it.
class SandboxTree : public ::testing::Test {
 protected:
  SandboxTree() : root(base.path() / "root"), outside(base.path() / "outside") {
    base.write("root/inside.txt", "inside\n");
    base.write("root/sub/deep.txt", "deep\n");
    base.write("outside/secret.txt", "SECRET\n");
    base.write("rootbad/secret.txt", "SECRET\n");
    fs::create_directory_symlink(outside, root / "to_outside");
    fs::create_symlink(outside / "secret.txt", root / "to_secret");
    fs::create_symlink("../outside/ghost.txt", root / "dangling_out");
    fs::create_symlink("sub", root / "to_sub");
    fs::create_symlink("to_secret", root / "chain");
  }
  TempDir base;
  fs::path root;
  fs::path outside;
};

TEST_F(SandboxTree, ValidatePathResolvesLinksDotDotAndMissingTails) {
  const SandboxValidator sandbox({root});
  const std::string r = root.string();
  struct Row {
    std::string path;
    bool allowed;
  };
  const std::vector<Row> rows = {
      {r, true},
      {r + "/inside.txt", true},
      {r + "/sub/../inside.txt", true},
      {r + "/to_sub/deep.txt", true},
      {r + "/to_sub/../inside.txt", true},  // ".." applies to the link's target
      {r + "/new/dirs/file.txt", true},
      {r + "/..", false},
      {r + "/../outside/secret.txt", false},
      {r + "/to_secret", false},
      {r + "/chain", false},
      {r + "/to_outside/secret.txt", false},
      {r + "/to_outside/new/file.txt", false},
      {r + "/dangling_out", false},   // followed into its missing target
      {r + "bad/secret.txt", false},  // a prefix of the text, not a parent
      {"/etc/passwd", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(sandbox.validate_path(row.path).empty(), row.allowed) << row.path;
    EXPECT_EQ(sandbox.is_path_allowed(row.path), row.allowed) << row.path;
  }
}

TEST_F(SandboxTree, RelativePathsAreTakenFromTheWorkingDirectory) {
  const testing::ScopedWorkingDirectory cwd(root);
  const SandboxValidator sandbox;
  EXPECT_EQ(sandbox.roots(), std::vector<fs::path>{root});
  EXPECT_EQ(sandbox.validate_path("inside.txt"), "");
  EXPECT_EQ(sandbox.validate_path(""), "");
  EXPECT_EQ(sandbox.validate_path("../rootbad/secret.txt"),
            "Access denied: path '../rootbad/secret.txt' is outside the allowed directories");
}

TEST_F(SandboxTree, EmbeddedNulIsRefused) {
  const SandboxValidator sandbox({root});
  const std::string path = root.string() + std::string("/inside.txt\0/x", 14);
  EXPECT_EQ(sandbox.validate_path(path),
            "Access denied: path '" + root.string() + "/inside.txt\\0/x' contains a NUL character");
  EXPECT_FALSE(sandbox.is_path_allowed(fs::path(path)));
}

TEST_F(SandboxTree, SeveralRootsAndTheFileSystemRoot) {
  const SandboxValidator two({root / "sub", outside});
  EXPECT_EQ(two.validate_path((outside / "secret.txt").string()), "");
  EXPECT_EQ(two.validate_path((root / "sub/deep.txt").string()), "");
  EXPECT_NE(two.validate_path((root / "inside.txt").string()), "");
  const SandboxValidator everything = SandboxValidator::unrestricted();
  EXPECT_EQ(everything.validate_path("/etc/passwd"), "");
}

TEST_F(SandboxTree, OpensBeneathTheRootWithEitherResolution) {
  for (const BeneathOpen how : {BeneathOpen::kernel_first, BeneathOpen::walk_only}) {
    const SandboxValidator sandbox({root}, how);
    const UniqueFd file = sandbox.open((root / "to_sub/deep.txt").string(), O_RDONLY);
    ASSERT_TRUE(file.valid());
    char buffer[8] = {};
    EXPECT_EQ(::read(file.get(), buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "deep\n");
    EXPECT_THROW(sandbox.open((root / "to_secret").string(), O_RDONLY), PathDenied);
    EXPECT_THROW(sandbox.open((root / "missing.txt").string(), O_RDONLY), std::system_error);

    const auto parent = sandbox.open_parent((root / "made/here/file.txt").string(), true);
    EXPECT_EQ(parent.name, "file.txt");
    EXPECT_TRUE(fs::is_directory(root / "made/here"));
    EXPECT_THROW(sandbox.open_parent((root / "to_outside/x/y.txt").string(), true), PathDenied);
    EXPECT_FALSE(fs::exists(outside / "x"));
    fs::remove_all(root / "made");
  }
}

}  // namespace
}  // namespace orvane

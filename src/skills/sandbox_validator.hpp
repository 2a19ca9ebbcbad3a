#pragma once
// SandboxValidator: confines file access to a set of allowed root directories.
//
// A path is resolved the way the file system will see it (relative to the working directory,
// "..", every symbolic link on the way, and the longest existing prefix of a path that does not
// exist yet) and is allowed when the result lies inside a root, compared by path components
// (a root /a/b never admits /a/bc). An embedded NUL is refused.
//
// Checking a path and then opening it leaves a window in which a directory can be swapped for a
// symbolic link, so callers open through the validator: it holds a directory descriptor per root
// and opens beneath it (openat2 with RESOLVE_BENEATH and RESOLVE_NO_MAGICLINKS, or, where the
// kernel lacks it, a component-by-component walk that follows no symbolic link). An open that
// would leave the root throws PathDenied.
//
// The validator keeps no per-call state: every member is const after construction, and it may
// be shared by several skills and used from several threads.

#include <sys/types.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text/unique_fd.hpp"

namespace orvane {

// A refusal: the path, or an open of it, would leave every allowed root. what() names the path.
class PathDenied : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How opens are confined beneath a root. `walk_only` skips openat2 (for kernels without it, and
// for tests of the fallback).
enum class BeneathOpen { kernel_first, walk_only };

class SandboxValidator {
 public:
  // Confines every path to the working directory at construction.
  SandboxValidator();
  // Confines every path to `allowed_roots` (each resolved once, here). Throws
  // std::filesystem::filesystem_error when a root does not exist or cannot be opened.
  explicit SandboxValidator(const std::vector<std::filesystem::path>& allowed_roots,
                            BeneathOpen how = BeneathOpen::kernel_first);

  SandboxValidator(const SandboxValidator&) = delete;
  SandboxValidator& operator=(const SandboxValidator&) = delete;
  SandboxValidator(SandboxValidator&&) = default;
  SandboxValidator& operator=(SandboxValidator&&) = default;

  // A validator whose only root is "/": for callers that have no sandbox but share the code path.
  static SandboxValidator unrestricted();

  // An empty text when `path_text` is allowed; otherwise an English refusal naming it.
  std::string validate_path(std::string_view path_text) const;

  // Whether `path` is allowed (the same policy as validate_path).
  bool is_path_allowed(const std::filesystem::path& path) const;

  // Opens `path_text` beneath the root that holds it, with open(2) `flags` and `mode`.
  // Throws PathDenied when the path or the open leaves every root, std::system_error (with the
  // system's message) for any other failure.
  UniqueFd open(std::string_view path_text, int flags, mode_t mode = 0) const;

  struct ParentDirectory {
    UniqueFd directory;  // opened with O_PATH, beneath a root
    std::string name;    // the last component of the resolved path (a symbolic link's target)
  };
  // The directory that holds the final entry of `path_text`, opened beneath its root; with
  // `create_missing`, missing directories are created first (mode 0777 less the umask), and
  // those created stay when a later step fails. Throws as `open` does.
  ParentDirectory open_parent(std::string_view path_text, bool create_missing) const;

  // The allowed roots, resolved.
  std::vector<std::filesystem::path> roots() const;

 private:
  struct Root {
    std::vector<std::string> segments;
    UniqueFd directory;
  };
  struct Located {
    const Root* root;
    std::vector<std::string> below;  // components of the resolved path under the root
  };
  Located locate(std::string_view path_text) const;

  std::vector<Root> roots_;
  BeneathOpen how_ = BeneathOpen::kernel_first;
};

}  // namespace orvane

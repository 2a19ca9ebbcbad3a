#pragma once
// ProjectFiles: the files and directories under a project root, listed once, so that import
// resolution asks a hash table rather than the file system.
//
// A path outside what the listing covers (outside the root, under a skipped directory or under
// a symbolic link to a directory, which is not followed) is looked up on the file system.
// Paths are absolute, lexically normalised texts (text::absolute_path_text). Immutable once
// built, so it may be read from several threads.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace orvane {

class ProjectFiles {
 public:
  // A listing that covers nothing: every question goes to the file system.
  ProjectFiles() = default;

  // Lists `root` (absolute) recursively, entries of each directory in byte order, skipping
  // directories whose name is in `skipped_names`. Entries that cannot be read are left out.
  // Throws std::filesystem::filesystem_error when `root` itself cannot be listed.
  static ProjectFiles list(const std::string& root, const std::vector<std::string>& skipped_names);

  bool is_file(const std::string& path) const;
  bool is_directory(const std::string& path) const;

  // Every regular file found (symbolic links to files included), in listing order.
  const std::vector<std::string>& files() const { return files_in_order_; }

 private:
  bool covers(std::string_view path) const;

  bool listed_ = false;
  std::string root_;
  std::vector<std::string> skipped_names_;
  std::vector<std::string> files_in_order_;
  std::unordered_set<std::string> files_;
  std::unordered_set<std::string> directories_;
  std::unordered_set<std::string> unlisted_directories_;  // symbolic links to directories
};

}  // namespace orvane

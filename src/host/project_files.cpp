#include "host/project_files.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace orvane {
namespace {

namespace fs = std::filesystem;

std::string child_path(const std::string& directory, const std::string& name) {
  std::string path = directory;
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

bool is_skipped(std::string_view name, const std::vector<std::string>& skipped_names) {
  return std::find(skipped_names.begin(), skipped_names.end(), name) != skipped_names.end();
}

}  // namespace

ProjectFiles ProjectFiles::list(const std::string& root,
                                const std::vector<std::string>& skipped_names) {
  ProjectFiles listing;
  listing.listed_ = true;
  listing.root_ = root;
  listing.skipped_names_ = skipped_names;
  listing.directories_.insert(root);

  struct Entry {
    std::string name;
    bool directory;
  };
  std::vector<std::string> pending = {root};
  bool first = true;
  while (!pending.empty()) {
    const std::string directory = std::move(pending.back());
    pending.pop_back();
    std::vector<Entry> entries;
    std::error_code error;
    fs::directory_iterator it(directory, error);
    if (error) {
      if (first) throw fs::filesystem_error("cannot list the project root", directory, error);
      continue;
    }
    first = false;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      const fs::directory_entry& entry = *it;
      std::string name = entry.path().filename().string();
      std::error_code kind_error;
      if (entry.is_symlink(kind_error)) {
        if (entry.is_directory(kind_error)) {
          listing.unlisted_directories_.insert(child_path(directory, name));
        } else if (entry.is_regular_file(kind_error)) {
          entries.push_back({std::move(name), false});
        }
      } else if (entry.is_directory(kind_error)) {
        entries.push_back({std::move(name), true});
      } else if (entry.is_regular_file(kind_error)) {
        entries.push_back({std::move(name), false});
      }
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    // Files of a directory come before its sub-directories; sub-directories are then listed in
    // name order (pushed in reverse, taken from the back).
    std::vector<std::string> subdirectories;
    for (Entry& entry : entries) {
      std::string path = child_path(directory, entry.name);
      if (!entry.directory) {
        listing.files_.insert(path);
        listing.files_in_order_.push_back(std::move(path));
      } else if (!is_skipped(entry.name, skipped_names)) {
        listing.directories_.insert(path);
        subdirectories.push_back(std::move(path));
      }
    }
    for (auto sub = subdirectories.rbegin(); sub != subdirectories.rend(); ++sub) {
      pending.push_back(std::move(*sub));
    }
  }
  return listing;
}

bool ProjectFiles::covers(std::string_view path) const {
  if (!listed_) return false;
  const bool root_is_slash = root_ == "/";
  if (!root_is_slash &&
      !(path.starts_with(root_) && path.size() > root_.size() && path[root_.size()] == '/')) {
    return path == root_;
  }
  // Every directory between the root and `path` must have been listed.
  std::size_t start = root_is_slash ? 1 : root_.size() + 1;
  while (true) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view name = path.substr(start, slash - start);
    if (is_skipped(name, skipped_names_)) return false;
    if (unlisted_directories_.contains(std::string(path.substr(0, slash)))) return false;
    if (slash == path.size()) return true;
    start = slash + 1;
  }
}

bool ProjectFiles::is_file(const std::string& path) const {
  if (files_.contains(path)) return true;
  if (covers(path)) return false;
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool ProjectFiles::is_directory(const std::string& path) const {
  if (directories_.contains(path)) return true;
  if (covers(path)) return false;
  std::error_code error;
  return fs::is_directory(path, error);
}

}  // namespace orvane

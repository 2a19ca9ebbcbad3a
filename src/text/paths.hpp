#pragma once
// Path texts as they are shown to users and to the model.
//
// Pure functions of their arguments, except that `absolute_path_text` and `relative_path_text`
// read the process's working directory.

#include <string>
#include <string_view>

namespace orvane::text {

// The normalised text form of a path: repeated "/" collapsed (a leading "//" is kept, as POSIX
// allows it a meaning of its own), "." segments dropped, ".." kept, a trailing "/" dropped;
// an empty path or "." gives ".". Example: "docs//a/./b.txt" gives "docs/a/b.txt".
std::string normalize_path_text(std::string_view path);

// `path` made absolute against the working directory and normalised lexically, ".." folded
// into its parent (a ".." at the root stays at the root). No file system access beyond the
// working directory.
std::string absolute_path_text(std::string_view path);

// `path` relative to `root`, both made absolute with `absolute_path_text`: one ".." per level
// of `root` that `path` lies outside, "." when they are equal, and every backslash of the result
// written as "/". Throws std::invalid_argument when `path` or `root` is empty.
std::string relative_path_text(std::string_view path, std::string_view root);

}  // namespace orvane::text

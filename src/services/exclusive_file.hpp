#pragma once
// Creating a file that did not exist, inside a given directory, without following links.
//
// Blocks on the file system; throws std::system_error whose what() is the operating system's
// plain message. Nothing is ever written through a symbolic link: neither the directory nor the
// name may be one, and an existing entry of that name is an error (EEXIST), never replaced.

#include <string>
#include <string_view>

namespace orvane::exclusive_file {

// Creates `name` (a plain name, no "/") in `directory` with mode 0644 and writes `content`
// whole. A write that fails half-way leaves the partial file in place.
void create(const std::string& directory, const std::string& name, std::string_view content);

// Removes the entry `name` of `directory` (a link itself, never its target); false when there
// was none. A directory entry that is itself a directory throws (EISDIR), as does a
// `directory` that is a symbolic link.
bool remove(const std::string& directory, const std::string& name);

}  // namespace orvane::exclusive_file

#pragma once
// Reading whole files.
//
// Both functions block on the file system and throw std::system_error on failure, whose what()
// is the operating system's plain message (for example "No such file or directory").

#include <filesystem>
#include <string>

#include "text/utf8.hpp"

namespace orvane::text {

// The raw bytes of the file at `path`.
std::string read_file_bytes(const std::filesystem::path& path);

// The file at `path` decoded as text (see `decode_text`).
std::string read_text_file(const std::filesystem::path& path, InvalidUtf8 mode);

}  // namespace orvane::text

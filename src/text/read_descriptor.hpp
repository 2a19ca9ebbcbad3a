#pragma once
// Reading everything from an open file descriptor.
//
// For callers that open files themselves (for example beneath a directory descriptor) and so
// cannot hand a path to read_text.hpp. Blocks; throws std::system_error with the operating
// system's message on failure. The descriptor stays owned by the caller and is left open.

#include <cstddef>
#include <string>

namespace orvane::text {

// The remaining bytes of `fd`; `size_hint` (for example st_size) sizes the first read.
std::string read_descriptor_bytes(int fd, std::size_t size_hint);

// Reads the remaining bytes of `fd` to the start of `buffer`, which only grows (so a caller
// reading many files allocates a few times at most), and returns how many were read.
std::size_t read_descriptor_into(int fd, std::size_t size_hint, std::string& buffer);

}  // namespace orvane::text

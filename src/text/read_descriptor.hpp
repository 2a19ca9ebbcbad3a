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

}  // namespace orvane::text

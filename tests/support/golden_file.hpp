#pragma once
// Expected texts kept as files beside the tests.

#include <string>
#include <string_view>

namespace orvane::testing {

// The bytes of `relative` under the source tree's tests/ directory. The tree is found through
// ORVANE_SOURCE_DIR (set by CTest), else by walking up from the working directory and from the
// test program's own location. Throws when the file cannot be found or read.
std::string golden_file(std::string_view relative);

}  // namespace orvane::testing

#pragma once
// Expected texts kept as files beside the tests.

#include <filesystem>
#include <string>
#include <string_view>

namespace orvane::testing {

// The bytes of `relative` under the source tree's tests/ directory (found through
// ORVANE_SOURCE_DIR, else from this header's location). Throws when it cannot be read.
std::string golden_file(std::string_view relative);

}  // namespace orvane::testing

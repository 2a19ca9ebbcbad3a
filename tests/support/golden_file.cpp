#include "support/golden_file.hpp"

#include <cstdlib>

#include "text/read_text.hpp"

namespace orvane::testing {

std::string golden_file(std::string_view relative) {
  const char* source_dir = std::getenv("ORVANE_SOURCE_DIR");
  const std::filesystem::path tests_dir =
      source_dir != nullptr ? std::filesystem::path(source_dir) / "tests"
                            : std::filesystem::path(__FILE__).parent_path().parent_path();
  return text::read_file_bytes(tests_dir / relative);
}

}  // namespace orvane::testing

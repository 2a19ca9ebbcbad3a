#include "support/golden_file.hpp"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "text/read_text.hpp"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> search_starts() {
  std::vector<fs::path> starts;
  if (const char* source_dir = std::getenv("ORVANE_SOURCE_DIR")) starts.emplace_back(source_dir);
  std::error_code ignored;
  starts.push_back(fs::current_path(ignored));
  starts.push_back(fs::read_symlink("/proc/self/exe", ignored).parent_path());
  return starts;
}

}  // namespace

std::string golden_file(std::string_view relative) {
  for (const fs::path& start : search_starts()) {
    for (fs::path directory = start; !directory.empty(); directory = directory.parent_path()) {
      const fs::path candidate = directory / "tests" / relative;
      std::error_code ignored;
      if (fs::is_regular_file(candidate, ignored)) return text::read_file_bytes(candidate);
      if (directory == directory.parent_path()) break;
    }
  }
  throw std::runtime_error("golden file not found: tests/" + std::string(relative));
}

}  // namespace orvane::testing

#include "support/temp_dir.hpp"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace orvane::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvane-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  // Canonical, so tests can compare with paths the code under test resolves.
  path_ = std::filesystem::canonical(pattern);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Make every directory writable again first: a test may have taken permissions away.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::write(std::string_view relative, std::string_view bytes) const {
  const std::filesystem::path full = path_ / relative;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + full.string());
  return full;
}

}  // namespace orvane::testing

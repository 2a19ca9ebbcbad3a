#pragma once
// TempDir: a fresh directory under the system's temporary directory, removed with everything in
// it when the object goes out of scope.

#include <filesystem>
#include <string_view>

namespace orvane::testing {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }

  // Writes `bytes` to `relative` under the directory, creating parent directories; returns
  // the file's full path.
  std::filesystem::path write(std::string_view relative, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace orvane::testing

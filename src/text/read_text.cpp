#include "text/read_text.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "text/read_descriptor.hpp"
#include "text/unique_fd.hpp"

namespace orvane::text {
namespace {

[[noreturn]] void throw_errno(int error) {
  throw std::system_error(error, std::generic_category());
}

}  // namespace

std::string read_file_bytes(const std::filesystem::path& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) throw_errno(errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw_errno(errno);
  if (S_ISDIR(info.st_mode)) throw_errno(EISDIR);
  // Regular files report their size; pipes and special files are read until the end.
  const std::size_t size_hint = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0;
  return read_descriptor_bytes(file.get(), size_hint);
}

std::string read_text_file(const std::filesystem::path& path, InvalidUtf8 mode) {
  return decode_text(read_file_bytes(path), mode);
}

}  // namespace orvane::text

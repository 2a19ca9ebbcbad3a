#include "services/exclusive_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "text/unique_fd.hpp"

namespace orvane::exclusive_file {
namespace {

[[noreturn]] void throw_errno() {
  throw std::system_error(errno, std::generic_category());
}

UniqueFd checked(int fd) {
  if (fd < 0) throw_errno();
  return UniqueFd(fd);
}

UniqueFd open_directory(const std::string& path) {
  return checked(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

void create(const std::string& directory, const std::string& name, std::string_view content) {
  const UniqueFd parent = open_directory(directory);
  UniqueFd file = checked(::openat(parent.get(), name.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  while (!content.empty()) {
    const ssize_t written = ::write(file.get(), content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw_errno();
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  file.close_checked();
}

bool remove(const std::string& directory, const std::string& name) {
  const UniqueFd parent = open_directory(directory);
  if (::unlinkat(parent.get(), name.c_str(), 0) == 0) return true;
  if (errno == ENOENT) return false;
  throw_errno();
}

}  // namespace orvane::exclusive_file

#include "services/exclusive_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace orvane::exclusive_file {
namespace {

[[noreturn]] void throw_errno() {
  throw std::system_error(errno, std::generic_category());
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {
    if (fd_ < 0) throw_errno();
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, so that a failing close (data not written after all) is reported.
  void close() {
    if (::close(std::exchange(fd_, -1)) != 0) throw_errno();
  }

 private:
  int fd_;
};

FileDescriptor open_directory(const std::string& path) {
  return FileDescriptor(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

void create(const std::string& directory, const std::string& name, std::string_view content) {
  const FileDescriptor parent = open_directory(directory);
  FileDescriptor file(::openat(parent.get(), name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  while (!content.empty()) {
    const ssize_t written = ::write(file.get(), content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw_errno();
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  file.close();
}

bool remove(const std::string& directory, const std::string& name) {
  const FileDescriptor parent = open_directory(directory);
  if (::unlinkat(parent.get(), name.c_str(), 0) == 0) return true;
  if (errno == ENOENT) return false;
  throw_errno();
}

}  // namespace orvane::exclusive_file

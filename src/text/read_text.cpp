#include "text/read_text.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace orvane::text {
namespace {

[[noreturn]] void throw_errno(int error) {
  throw std::system_error(error, std::generic_category());
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string read_file_bytes(const std::filesystem::path& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw_errno(errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw_errno(errno);
  if (S_ISDIR(info.st_mode)) throw_errno(EISDIR);

  std::string bytes;
  // Regular files report their size; pipes and special files are read until the end.
  std::size_t capacity = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) + 1 : 4096;
  bytes.resize(capacity);
  std::size_t used = 0;
  while (true) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = ::read(file.get(), bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw_errno(errno);
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  bytes.resize(used);
  return bytes;
}

std::string read_text_file(const std::filesystem::path& path, InvalidUtf8 mode) {
  return decode_text(read_file_bytes(path), mode);
}

}  // namespace orvane::text

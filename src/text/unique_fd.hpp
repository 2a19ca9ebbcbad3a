#pragma once
// UniqueFd: sole owner of a POSIX file descriptor, closed when the owner goes away.

#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace orvane {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes now and reports a failing close (for a file written through this descriptor, the
  // data may not have reached the file after all) as std::system_error.
  void close_checked() {
    if (::close(std::exchange(fd_, -1)) != 0) {
      throw std::system_error(errno, std::generic_category());
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace orvane

#include "text/read_descriptor.hpp"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace orvane::text {

std::size_t read_descriptor_into(int fd, std::size_t size_hint, std::string& buffer) {
  // One byte more than the hint, so that a file read whole ends on a zero-length read without
  // growing the buffer.
  const std::size_t wanted = size_hint + 1 < 4096 ? 4096 : size_hint + 1;
  if (buffer.size() < wanted) buffer.resize(wanted);
  std::size_t used = 0;
  while (true) {
    if (used == buffer.size()) buffer.resize(buffer.size() * 2);
    const ssize_t got = ::read(fd, buffer.data() + used, buffer.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category());
    }
    if (got == 0) return used;
    used += static_cast<std::size_t>(got);
  }
}

std::string read_descriptor_bytes(int fd, std::size_t size_hint) {
  std::string bytes;
  bytes.resize(read_descriptor_into(fd, size_hint, bytes));
  return bytes;
}

}  // namespace orvane::text

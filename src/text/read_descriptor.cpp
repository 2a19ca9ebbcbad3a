#include "text/read_descriptor.hpp"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace orvane::text {

std::string read_descriptor_bytes(int fd, std::size_t size_hint) {
  std::string bytes;
  // One byte more than the hint, so that a file read whole ends on a zero-length read without
  // growing the buffer.
  bytes.resize(size_hint + 1 < 4096 ? 4096 : size_hint + 1);
  std::size_t used = 0;
  while (true) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category());
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  bytes.resize(used);
  return bytes;
}

}  // namespace orvane::text

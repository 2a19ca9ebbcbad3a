#include "text/ascii.hpp"

#include <cstdint>
#include <cstring>

namespace orvane::text {

bool is_ascii(std::string_view bytes) {
  std::size_t i = 0;
  std::uint64_t seen = 0;
  // Thirty-two bytes at a time; the high bits of every byte are or-ed together.
  for (; i + 32 <= bytes.size(); i += 32) {
    std::uint64_t words[4];
    std::memcpy(words, bytes.data() + i, sizeof words);
    seen |= words[0] | words[1] | words[2] | words[3];
    if ((seen & 0x8080808080808080ULL) != 0) return false;
  }
  for (; i < bytes.size(); ++i) seen |= static_cast<unsigned char>(bytes[i]);
  return (seen & 0x8080808080808080ULL) == 0;
}

}  // namespace orvane::text

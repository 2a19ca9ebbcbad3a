#include "text/ascii.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvane::text {
namespace {

TEST(IsAscii, EveryPositionOfANonAsciiByteIsSeen) {
  EXPECT_TRUE(is_ascii(""));
  const std::string plain(100, 'a');
  EXPECT_TRUE(is_ascii(plain));
  // Across the 32-byte blocks and the tail.
  for (std::size_t position = 0; position < plain.size(); ++position) {
    std::string text = plain;
    text[position] = '\x80';
    EXPECT_FALSE(is_ascii(text)) << position;
    text[position] = '\xff';
    EXPECT_FALSE(is_ascii(text)) << position;
  }
  EXPECT_TRUE(is_ascii(std::string(1, '\x7f')));
}

}  // namespace
}  // namespace orvane::text

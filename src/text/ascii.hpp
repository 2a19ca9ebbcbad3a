#pragma once
// Whether a byte string is plain ASCII. Pure and thread-safe.

#include <string_view>

namespace orvane::text {

// True when every byte of `bytes` is below 0x80 (an empty text included).
bool is_ascii(std::string_view bytes);

}  // namespace orvane::text

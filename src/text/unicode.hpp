#pragma once
// Unicode-aware case mapping, white space and trimming.
//
// Pure and thread-safe. Arguments are well-formed UTF-8.

#include <string>
#include <string_view>

namespace orvane::text {

// Full Unicode lower-case mapping, independent of any locale (so "ÉLEVÉ" gives "élevé" and a
// final capital sigma becomes "ς").
std::string to_lower(std::string_view text);

// The white-space set of Python's str.isspace: bidirectional classes WS, B and S plus Zs.
bool is_space(char32_t code_point);

// `text` without leading and trailing white space (in the sense of `is_space`).
std::string_view trim(std::string_view text);

// True when `text` holds only white space (or nothing).
bool is_blank(std::string_view text);

}  // namespace orvane::text

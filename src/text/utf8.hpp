#pragma once
// UTF-8 text: repairing ill-formed input, line endings, and cutting by code points.
//
// Every function here is pure and thread-safe. Functions taking `valid_utf8` require
// well-formed UTF-8 (the output of `decode_text` or `repair_utf8`); on other input they never
// read out of bounds but their counts are unspecified.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::text {

// What to do with a byte sequence that is not valid UTF-8.
enum class InvalidUtf8 {
  drop,     // remove it
  replace,  // write one U+FFFD per maximal subpart of the ill-formed sequence
};

// `bytes` with every ill-formed sequence dropped or replaced, following the "maximal subpart"
// practice of the Unicode Standard (chapter 3): overlongs, surrogates, code points above
// U+10FFFF, stray continuation bytes, bytes C0, C1, F5..FF and sequences cut short are ill-formed.
std::string repair_utf8(std::string_view bytes, InvalidUtf8 mode);

// `text` with CR LF and lone CR each turned into LF.
std::string normalize_newlines(std::string_view text);

// The text of a file's bytes: `repair_utf8`, then `normalize_newlines`. A leading byte-order
// mark is kept as U+FEFF.
std::string decode_text(std::string_view bytes, InvalidUtf8 mode);

bool is_valid_utf8(std::string_view bytes);

// Number of code points of `valid_utf8`.
std::size_t code_point_count(std::string_view valid_utf8);

// The first `count` code points of `valid_utf8` (all of it when shorter); never splits a
// character. The view borrows from the argument.
std::string_view first_code_points(std::string_view valid_utf8, std::size_t count);

// Decodes the code point at `position` of `valid_utf8` and advances `position` past it.
// REQUIRES: position < valid_utf8.size().
char32_t next_code_point(std::string_view valid_utf8, std::size_t& position);

// Appends the UTF-8 encoding of `code_point` (REQUIRES: a Unicode scalar value).
void append_code_point(std::string& out, char32_t code_point);

}  // namespace orvane::text

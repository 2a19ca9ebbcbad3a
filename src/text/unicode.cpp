#include "text/unicode.hpp"

#include <unicode/ucasemap.h>
#include <unicode/utypes.h>

#include <memory>
#include <stdexcept>

#include "text/utf8.hpp"

namespace orvane::text {
namespace {

struct CaseMapCloser {
  void operator()(UCaseMap* map) const { ucasemap_close(map); }
};

bool is_ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string to_lower(std::string_view text) {
  if (is_ascii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  UErrorCode status = U_ZERO_ERROR;
  // The root locale: no Turkish or Lithuanian special cases, like a locale-free lower().
  const std::unique_ptr<UCaseMap, CaseMapCloser> map(ucasemap_open("", 0, &status));
  if (U_FAILURE(status)) throw std::runtime_error(u_errorName(status));
  // Lower-casing grows a text by at most a factor of 3 (U+0130 becomes two code points).
  std::string out(text.size() * 3 + 1, '\0');
  const int32_t length =
      ucasemap_utf8ToLower(map.get(), out.data(), static_cast<int32_t>(out.size()), text.data(),
                           static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error(u_errorName(status));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

bool is_space(char32_t c) {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x1F);
  switch (c) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::string_view trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t next = begin;
    if (!is_space(next_code_point(text, next))) break;
    begin = next;
  }
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    std::size_t position = start;
    if (!is_space(next_code_point(text, position))) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

bool is_blank(std::string_view text) {
  return trim(text).empty();
}

}  // namespace orvane::text

#include "text/utf8.hpp"

#include <cstdint>
#include <cstring>

namespace orvane::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool in_range(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// Length of the well-formed sequence starting at `i`, or 0 when it is ill-formed; in that case
// `subpart` receives the length of its maximal subpart (at least 1).
std::size_t sequence_length(std::string_view bytes, std::size_t i, std::size_t& subpart) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  std::size_t length = 0;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    subpart = 1;
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= bytes.size()) {
      subpart = k;
      return 0;
    }
    const auto byte = static_cast<unsigned char>(bytes[i + k]);
    const bool ok = k == 1 ? in_range(byte, second_low, second_high) : in_range(byte, 0x80, 0xBF);
    if (!ok) {
      subpart = k;
      return 0;
    }
  }
  return length;
}

// Index of the first byte at or after `i` that is not ASCII.
std::size_t skip_ascii(std::string_view bytes, std::size_t i) {
  const std::size_t size = bytes.size();
  while (i + 8 <= size) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, sizeof word);
    if (word & 0x8080808080808080ULL) break;
    i += 8;
  }
  while (i < size && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  return i;
}

}  // namespace

std::string repair_utf8(std::string_view bytes, InvalidUtf8 mode) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t run_start = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    i = skip_ascii(bytes, i);
    if (i >= bytes.size()) break;
    std::size_t subpart = 0;
    const std::size_t length = sequence_length(bytes, i, subpart);
    if (length != 0) {
      i += length;
      continue;
    }
    out.append(bytes.substr(run_start, i - run_start));
    if (mode == InvalidUtf8::replace) out.append(kReplacement);
    i += subpart;
    run_start = i;
  }
  out.append(bytes.substr(run_start));
  return out;
}

std::string normalize_newlines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  while (true) {
    const std::size_t cr = text.find('\r', start);
    if (cr == std::string_view::npos) break;
    out.append(text.substr(start, cr - start));
    out.push_back('\n');
    start = cr + 1;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  out.append(text.substr(start));
  return out;
}

std::string decode_text(std::string_view bytes, InvalidUtf8 mode) {
  std::string repaired = repair_utf8(bytes, mode);
  if (repaired.find('\r') == std::string::npos) return repaired;
  return normalize_newlines(repaired);
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    i = skip_ascii(bytes, i);
    if (i >= bytes.size()) break;
    std::size_t subpart = 0;
    const std::size_t length = sequence_length(bytes, i, subpart);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::size_t code_point_count(std::string_view valid_utf8) {
  std::size_t count = 0;
  for (const char c : valid_utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

std::string_view first_code_points(std::string_view valid_utf8, std::size_t count) {
  if (count >= valid_utf8.size()) {
    // A code point takes at least one byte, so a count this large keeps everything.
    return valid_utf8;
  }
  std::size_t seen = 0;
  for (std::size_t i = 0; i < valid_utf8.size(); ++i) {
    if ((static_cast<unsigned char>(valid_utf8[i]) & 0xC0) != 0x80) {
      if (seen == count) return valid_utf8.substr(0, i);
      ++seen;
    }
  }
  return valid_utf8;
}

char32_t next_code_point(std::string_view valid_utf8, std::size_t& position) {
  const auto lead = static_cast<unsigned char>(valid_utf8[position]);
  std::size_t length = 1;
  char32_t value = lead;
  if (lead >= 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else if (lead >= 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xC0) {
    length = 2;
    value = lead & 0x1F;
  }
  std::size_t k = 1;
  for (; k < length && position + k < valid_utf8.size(); ++k) {
    value = (value << 6) | (static_cast<unsigned char>(valid_utf8[position + k]) & 0x3F);
  }
  position += k;
  return value;
}

void append_code_point(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace orvane::text

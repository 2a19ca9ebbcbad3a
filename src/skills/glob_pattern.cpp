#include <stdexcept>

#include "skills/glob_walker.hpp"
#include "text/utf8.hpp"

namespace orvane::glob {
namespace {

using Token = GlobPattern::Token;
using CharRange = GlobPattern::CharRange;

// One character of `bytes` at `position`: a well-formed UTF-8 sequence, or else a single byte
// (mapped as U+DC80..U+DCFF, the way file names with stray bytes are usually decoded).
char32_t next_character(std::string_view bytes, std::size_t& position) {
  const auto lead = static_cast<unsigned char>(bytes[position]);
  if (lead < 0x80) {
    ++position;
    return lead;
  }
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (position + length <= bytes.size() && text::is_valid_utf8(bytes.substr(position, length))) {
    return text::next_code_point(bytes, position);
  }
  ++position;
  return 0xDC00 + lead;
}

std::u32string characters(std::string_view bytes) {
  std::u32string out;
  out.reserve(bytes.size());
  std::size_t position = 0;
  while (position < bytes.size()) out.push_back(next_character(bytes, position));
  return out;
}

std::string quoted(std::string_view text) {
  const bool has_single = text.find('\'') != std::string_view::npos;
  const bool has_double = text.find('"') != std::string_view::npos;
  const char quote = has_single && !has_double ? '"' : '\'';
  std::string out(1, quote);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == quote) {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back(quote);
  return out;
}

// The set of a bracket expression whose body is pattern[begin, end). Hyphens split the body
// into chunks, the first hyphen search starting after the first member (after "!" too), and
// each later one two characters past the previous hyphen; a hyphen between two chunks makes a
// range of their facing characters; a range whose bounds are reversed is dropped with them.
Token parse_set(const std::u32string& pattern, std::size_t begin, std::size_t end) {
  std::vector<std::u32string> chunks;
  const std::u32string body = pattern.substr(begin, end - begin);
  if (body.find(U'-') == std::u32string::npos) {
    chunks.push_back(body);
  } else {
    std::size_t chunk_start = 0;
    std::size_t search = body[0] == U'!' ? 2 : 1;
    while (true) {
      const std::size_t hyphen =
          search < body.size() ? body.find(U'-', search) : std::u32string::npos;
      if (hyphen == std::u32string::npos) break;
      chunks.push_back(body.substr(chunk_start, hyphen - chunk_start));
      chunk_start = hyphen + 1;
      search = hyphen + 3;
    }
    const std::u32string last = body.substr(chunk_start);
    if (!last.empty()) {
      chunks.push_back(last);
    } else {
      chunks.back().push_back(U'-');
    }
    for (std::size_t k = chunks.size() - 1; k > 0; --k) {
      if (chunks[k - 1].empty() || chunks[k].empty()) continue;
      if (chunks[k - 1].back() > chunks[k].front()) {
        chunks[k - 1] = chunks[k - 1].substr(0, chunks[k - 1].size() - 1) + chunks[k].substr(1);
        chunks.erase(chunks.begin() + static_cast<std::ptrdiff_t>(k));
      }
    }
  }
  // Members in order; `joins_next` marks a hyphen that may form a range.
  struct Member {
    char32_t code_point;
    bool joins_next;
  };
  std::vector<Member> members;
  for (std::size_t m = 0; m < chunks.size(); ++m) {
    for (std::size_t c = 0; c < chunks[m].size(); ++c) {
      const bool last_of_chunk = c + 1 == chunks[m].size();
      members.push_back({chunks[m][c], last_of_chunk && m + 1 < chunks.size()});
    }
  }
  Token token{Token::Kind::set, 0, false, {}};
  std::size_t i = 0;
  if (!members.empty() && members[0].code_point == U'!') {
    token.negated = true;
    // A "!" that starts a range stays a member: only the marker itself is dropped.
    if (!members[0].joins_next) i = 1;
  }
  bool pending_hyphen = false;
  for (; i < members.size(); ++i) {
    if (pending_hyphen) token.ranges.push_back({U'-', U'-'});
    pending_hyphen = false;
    if (members[i].joins_next && i + 1 < members.size()) {
      token.ranges.push_back({members[i].code_point, members[i + 1].code_point});
      pending_hyphen = members[i + 1].joins_next;
      ++i;
      continue;
    }
    token.ranges.push_back({members[i].code_point, members[i].code_point});
    if (members[i].joins_next) pending_hyphen = true;
  }
  if (pending_hyphen) token.ranges.push_back({U'-', U'-'});
  return token;
}

std::vector<Token> parse_wildcard(std::string_view segment) {
  const std::u32string pattern = characters(segment);
  std::vector<Token> tokens;
  std::size_t i = 0;
  const std::size_t n = pattern.size();
  while (i < n) {
    const char32_t c = pattern[i++];
    if (c == U'*') {
      if (tokens.empty() || tokens.back().kind != Token::Kind::star) {
        tokens.push_back({Token::Kind::star, 0, false, {}});
      }
    } else if (c == U'?') {
      tokens.push_back({Token::Kind::any_char, 0, false, {}});
    } else if (c == U'[') {
      std::size_t j = i;
      if (j < n && pattern[j] == U'!') ++j;
      if (j < n && pattern[j] == U']') ++j;
      while (j < n && pattern[j] != U']') ++j;
      if (j >= n) {
        tokens.push_back({Token::Kind::literal, U'[', false, {}});
      } else {
        tokens.push_back(parse_set(pattern, i, j));
        i = j + 1;
      }
    } else {
      tokens.push_back({Token::Kind::literal, c, false, {}});
    }
  }
  return tokens;
}

bool token_matches(const Token& token, char32_t c) {
  switch (token.kind) {
    case Token::Kind::literal:
      return token.code_point == c;
    case Token::Kind::any_char:
      return true;
    case Token::Kind::set: {
      bool inside = false;
      for (const auto& range : token.ranges) {
        if (c >= range.first && c <= range.last) {
          inside = true;
          break;
        }
      }
      return inside != token.negated;
    }
    case Token::Kind::star:
      break;
  }
  return false;
}

bool is_wildcard(std::string_view segment) {
  return segment.find_first_of("*?[") != std::string_view::npos;
}

}  // namespace

GlobPattern::GlobPattern(std::string_view pattern) {
  if (pattern.empty()) throw std::invalid_argument("Unacceptable pattern: " + quoted(pattern));
  if (pattern.starts_with('/'))
    throw std::invalid_argument("Non-relative patterns are unsupported");
  std::size_t start = 0;
  std::size_t recursive_count = 0;
  while (start <= pattern.size()) {
    std::size_t end = pattern.find('/', start);
    if (end == std::string_view::npos) end = pattern.size();
    const std::string_view part = pattern.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    Segment segment{Segment::Kind::literal, std::string(part), {}};
    if (part == "**") {
      segment.kind = Segment::Kind::recursive;
      ++recursive_count;
    } else if (part.find("**") != std::string_view::npos) {
      throw std::invalid_argument("Invalid pattern: '**' can only be an entire path component");
    } else if (is_wildcard(part)) {
      segment.kind = Segment::Kind::wildcard;
      segment.tokens = parse_wildcard(part);
    }
    segments_.push_back(std::move(segment));
  }
  if (segments_.empty()) throw std::invalid_argument("Unacceptable pattern: " + quoted(pattern));
  // A trailing "/" asks for directories: the last segment then has a successor, which yields
  // the directory itself.
  if (pattern.ends_with('/')) segments_.push_back(Segment{Segment::Kind::end, {}, {}});
  may_repeat_ = recursive_count > 1;
}

bool wildcard_matches(const std::vector<Token>& tokens, std::string_view name) {
  // Backtracking over the last star, on byte positions that advance one character at a time.
  std::size_t t = 0;
  std::size_t s = 0;
  std::size_t star_token = std::string::npos;
  std::size_t star_subject = 0;
  while (s < name.size()) {
    if (t < tokens.size() && tokens[t].kind == Token::Kind::star) {
      star_token = t++;
      star_subject = s;
      continue;
    }
    std::size_t next = s;
    const char32_t c = next_character(name, next);
    if (t < tokens.size() && token_matches(tokens[t], c)) {
      ++t;
      s = next;
    } else if (star_token != std::string::npos) {
      t = star_token + 1;
      next_character(name, star_subject);
      s = star_subject;
    } else {
      return false;
    }
  }
  while (t < tokens.size() && tokens[t].kind == Token::Kind::star) ++t;
  return t == tokens.size();
}

}  // namespace orvane::glob

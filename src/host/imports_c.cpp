// `#include` directives of C and C++ sources.
//
// Speed matters here (whole system include trees get scanned), so the text is not tokenised
// in full: candidate directives are found with memchr on '#', and the comment state is only
// worked out for the stretch of text before each candidate.

#include <cstring>

#include "host/import_scanners.hpp"

namespace orvane::import_scanners {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

// Tracks whether a position lies inside a comment, reading the text forward only once.
class CommentTracker {
 public:
  explicit CommentTracker(std::string_view text) : text_(text) {}

  // True when `position` lies inside a block or line comment. Positions must not decrease.
  bool in_comment_at(std::size_t position) {
    while (cursor_ < position) {
      if (in_block_) {
        const std::size_t end = text_.find("*/", cursor_);
        if (end == std::string_view::npos) {
          cursor_ = text_.size();
          return true;
        }
        if (end >= position) {
          cursor_ = position;  // no "*/" before `position`: resume the search from here
          return true;
        }
        in_block_ = false;
        cursor_ = end + 2;
        continue;
      }
      const char c = text_[cursor_];
      if (c == '/' && cursor_ + 1 < text_.size()) {
        const char next = text_[cursor_ + 1];
        if (next == '*') {
          in_block_ = true;
          cursor_ += 2;
          continue;
        }
        if (next == '/') {
          const std::size_t end = text_.find('\n', cursor_);
          if (end == std::string_view::npos || end >= position) return true;
          cursor_ = end;
          continue;
        }
      } else if (c == '"' || c == '\'') {
        skip_literal(c);
        continue;
      }
      ++cursor_;
    }
    return in_block_;
  }

 private:
  // Steps past a string or character literal; an unterminated one ends with its line.
  void skip_literal(char quote) {
    ++cursor_;
    while (cursor_ < text_.size()) {
      const char c = text_[cursor_];
      if (c == '\\') {
        cursor_ += 2;
      } else if (c == quote) {
        ++cursor_;
        return;
      } else if (c == '\n') {
        return;
      } else {
        ++cursor_;
      }
    }
  }

  std::string_view text_;
  std::size_t cursor_ = 0;
  bool in_block_ = false;
};

// Counts lines forward as candidates are met, so the whole text is counted once.
class LineCounter {
 public:
  explicit LineCounter(std::string_view text) : text_(text) {}
  int line_at(std::size_t position) {
    while (counted_ < position) {
      const void* hit = std::memchr(text_.data() + counted_, '\n', position - counted_);
      if (hit == nullptr) {
        counted_ = position;
        break;
      }
      ++line_;
      counted_ = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) + 1;
    }
    return line_;
  }

 private:
  std::string_view text_;
  std::size_t counted_ = 0;
  int line_ = 1;
};

bool starts_line(std::string_view text, std::size_t hash) {
  std::size_t i = hash;
  while (i > 0 && is_blank(text[i - 1])) --i;
  return i == 0 || text[i - 1] == '\n';
}

}  // namespace

std::vector<ImportStatement> scan_c_includes(std::string_view content) {
  std::vector<ImportStatement> found;
  CommentTracker comments(content);
  LineCounter lines(content);
  std::size_t position = 0;
  while (position < content.size()) {
    const void* hit = std::memchr(content.data() + position, '#', content.size() - position);
    if (hit == nullptr) break;
    const std::size_t hash =
        static_cast<std::size_t>(static_cast<const char*>(hit) - content.data());
    position = hash + 1;
    if (!starts_line(content, hash)) continue;

    std::size_t i = position;
    while (i < content.size() && is_blank(content[i])) ++i;
    constexpr std::string_view kInclude = "include";
    if (content.substr(i, kInclude.size()) != kInclude) continue;
    i += kInclude.size();
    const std::size_t after_keyword = i;
    while (i < content.size() && is_blank(content[i])) ++i;
    if (i >= content.size() || (i == after_keyword && content[i] != '"' && content[i] != '<')) {
      continue;  // `#include_next`, `#includes`, ...
    }
    const char open = content[i];
    if (open != '"' && open != '<') continue;
    const char close = open == '"' ? '"' : '>';
    const std::size_t begin = i + 1;
    std::size_t end = begin;
    while (end < content.size() && content[end] != close && content[end] != '\n') ++end;
    if (end >= content.size() || content[end] != close || end == begin) continue;
    if (comments.in_comment_at(hash)) continue;

    ImportStatement statement;
    statement.target = std::string(content.substr(begin, end - begin));
    statement.line_number = lines.line_at(hash);
    statement.angled = open == '<';
    found.push_back(std::move(statement));
    position = end + 1;
  }
  return found;
}

}  // namespace orvane::import_scanners

// `import`, `export` and `part` directives of Dart sources.
//
// Directives stand at the start of a line; the text is read line by line, keeping track of
// (nested) block comments so that a commented-out directive is not listed.

#include "host/import_scanners.hpp"

namespace orvane::import_scanners {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::size_t skip_blanks(std::string_view line, std::size_t i) {
  while (i < line.size() && is_blank(line[i])) ++i;
  return i;
}

// Consumes `keyword` at `i` when a blank or a quote follows it.
bool take_keyword(std::string_view line, std::size_t& i, std::string_view keyword) {
  if (line.substr(i, keyword.size()) != keyword) return false;
  const std::size_t after = i + keyword.size();
  if (after < line.size() && !is_blank(line[after]) && line[after] != '\'' && line[after] != '"') {
    return false;
  }
  i = skip_blanks(line, after);
  return true;
}

// Updates the block-comment depth for the code of `line` from `i` on, skipping strings.
void track_comments(std::string_view line, std::size_t i, int& depth) {
  while (i < line.size()) {
    const char c = line[i];
    const char next = i + 1 < line.size() ? line[i + 1] : '\0';
    if (depth > 0) {
      if (c == '*' && next == '/') {
        --depth;
        i += 2;
      } else if (c == '/' && next == '*') {
        ++depth;
        i += 2;
      } else {
        ++i;
      }
    } else if (c == '/' && next == '/') {
      return;
    } else if (c == '/' && next == '*') {
      ++depth;
      i += 2;
    } else if (c == '\'' || c == '"') {
      ++i;
      while (i < line.size() && line[i] != c) i += line[i] == '\\' ? 2 : 1;
      ++i;
    } else {
      ++i;
    }
  }
}

}  // namespace

std::vector<ImportStatement> scan_dart_imports(std::string_view content) {
  std::vector<ImportStatement> found;
  int depth = 0;
  int line_number = 0;
  std::size_t start = 0;
  while (start <= content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    const std::string_view line = content.substr(start, end - start);
    ++line_number;
    start = end + 1;

    std::size_t i = skip_blanks(line, 0);
    if (depth == 0) {
      std::size_t at = i;
      const bool directive = take_keyword(line, at, "import") || take_keyword(line, at, "export") ||
                             (take_keyword(line, at, "part") && !take_keyword(line, at, "of"));
      if (directive && at < line.size() && (line[at] == '\'' || line[at] == '"')) {
        const char quote = line[at];
        const std::size_t close = line.find(quote, at + 1);
        if (close != std::string_view::npos && close > at + 1) {
          ImportStatement statement;
          statement.target = std::string(line.substr(at + 1, close - at - 1));
          statement.line_number = line_number;
          found.push_back(std::move(statement));
          i = close + 1;
        }
      }
    }
    track_comments(line, i, depth);
  }
  return found;
}

}  // namespace orvane::import_scanners

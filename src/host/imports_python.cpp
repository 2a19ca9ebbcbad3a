// `import` and `from ... import` statements of Python sources.
//
// The text is read once into logical lines (brackets and `\` continuations joined, comments
// dropped, string literals blanked), and each logical line is then parsed on its own.

#include <utility>

#include "host/import_scanners.hpp"

namespace orvane::import_scanners {
namespace {

struct LogicalLine {
  std::string code;
  int line_number = 0;
};

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\v';
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool is_name_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         byte >= 0x80;
}

// Splits `content` into logical lines of code without comments; string literals become "".
std::vector<LogicalLine> logical_lines(std::string_view content) {
  std::vector<LogicalLine> lines;
  LogicalLine current;
  int line = 1;
  int depth = 0;
  current.line_number = 1;
  std::size_t i = 0;
  const auto finish = [&] {
    lines.push_back(std::move(current));
    current = LogicalLine{};
    current.line_number = line;
  };
  while (i < content.size()) {
    const char c = content[i];
    if (c == '\n') {
      ++line;
      ++i;
      if (depth > 0) {
        current.code.push_back(' ');
      } else {
        finish();
      }
    } else if (c == '\\' && i + 1 < content.size() &&
               (content[i + 1] == '\n' ||
                (content[i + 1] == '\r' && i + 2 < content.size() && content[i + 2] == '\n'))) {
      i += content[i + 1] == '\n' ? 2 : 3;
      ++line;
      current.code.push_back(' ');
    } else if (c == '#') {
      while (i < content.size() && content[i] != '\n') ++i;
    } else if (c == '"' || c == '\'') {
      const bool triple = content.substr(i, 3) == std::string(3, c);
      const std::size_t quote_length = triple ? 3 : 1;
      i += quote_length;
      while (i < content.size()) {
        if (content[i] == '\\') {
          if (i + 1 < content.size() && content[i + 1] == '\n') ++line;
          i += 2;
        } else if (content[i] == c && (!triple || content.substr(i, 3) == std::string(3, c))) {
          i += quote_length;
          break;
        } else if (content[i] == '\n') {
          if (!triple) break;  // an unterminated string ends with its line
          ++line;
          ++i;
        } else {
          ++i;
        }
      }
      current.code.append("\"\"");
    } else {
      if (c == '(' || c == '[' || c == '{') ++depth;
      if ((c == ')' || c == ']' || c == '}') && depth > 0) --depth;
      current.code.push_back(c);
      ++i;
    }
  }
  finish();
  return lines;
}

// Consumes `keyword` followed by a blank at the start of `text`.
bool take_keyword(std::string_view& text, std::string_view keyword) {
  if (!text.starts_with(keyword) || text.size() <= keyword.size() ||
      !is_blank(text[keyword.size()])) {
    return false;
  }
  text = trim_blanks(text.substr(keyword.size()));
  return true;
}

// A dotted module name, with leading dots for a relative one; empty when `text` is not one.
std::string module_name(std::string_view text, bool allow_leading_dots) {
  std::size_t i = 0;
  if (allow_leading_dots) {
    while (i < text.size() && text[i] == '.') ++i;
  }
  const std::size_t dots = i;
  bool expect_name = true;
  for (; i < text.size(); ++i) {
    if (is_name_char(text[i])) {
      expect_name = false;
    } else if (text[i] == '.' && !expect_name) {
      expect_name = true;
    } else {
      return {};
    }
  }
  if (expect_name && i > dots) return {};  // trailing dot
  if (i == 0) return {};
  return std::string(text);
}

// The name bound by one item of an import list: "a.b as c" gives "a.b".
std::string_view before_alias(std::string_view item) {
  item = trim_blanks(item);
  for (std::size_t i = 0; i + 1 < item.size(); ++i) {
    if (is_blank(item[i])) return trim_blanks(item.substr(0, i));
  }
  return item;
}

template <typename Visit>
void for_each_item(std::string_view list, Visit visit) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view item = before_alias(list.substr(start, end - start));
    if (!item.empty()) visit(item);
    start = end + 1;
  }
}

void parse_statement(std::string_view code, int line_number, std::vector<ImportStatement>& found) {
  std::string_view text = trim_blanks(code);
  if (take_keyword(text, "import")) {
    for_each_item(text, [&](std::string_view item) {
      std::string module = module_name(item, false);
      if (!module.empty()) found.push_back({std::move(module), line_number, false, {}});
    });
    return;
  }
  if (!take_keyword(text, "from")) return;
  // `from . import x` may also be written `from .import x`.
  std::size_t end = text.find_first_not_of('.');
  const bool dots_then_import = end != 0 && end != std::string_view::npos &&
                                text.substr(end).starts_with("import") && text.size() > end + 6 &&
                                is_blank(text[end + 6]);
  if (!dots_then_import) {
    end = 0;
    while (end < text.size() && !is_blank(text[end])) ++end;
  }
  std::string module = module_name(text.substr(0, end), true);
  std::string_view rest = trim_blanks(text.substr(end));
  if (module.empty() || !take_keyword(rest, "import")) return;
  if (rest.starts_with('(')) rest.remove_prefix(1);
  if (rest.ends_with(')')) rest.remove_suffix(1);
  ImportStatement statement{std::move(module), line_number, false, {}};
  for_each_item(rest, [&](std::string_view item) { statement.names.emplace_back(item); });
  found.push_back(std::move(statement));
}

}  // namespace

std::vector<ImportStatement> scan_python_imports(std::string_view content) {
  std::vector<ImportStatement> found;
  for (const LogicalLine& line : logical_lines(content)) {
    std::string_view code = line.code;
    // Statements separated by ";" on one line.
    std::size_t start = 0;
    while (start <= code.size()) {
      std::size_t end = code.find(';', start);
      if (end == std::string_view::npos) end = code.size();
      parse_statement(code.substr(start, end - start), line.line_number, found);
      start = end + 1;
    }
  }
  return found;
}

}  // namespace orvane::import_scanners

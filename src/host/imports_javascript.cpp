// Module references of JavaScript and TypeScript sources: static imports and re-exports,
// `require` calls and dynamic `import()`.
//
// A small tokenizer reads the text once; it skips comments, strings, template literals and
// regular expression literals so that text inside them is never taken for an import.

#include <array>
#include <optional>

#include "host/import_scanners.hpp"

namespace orvane::import_scanners {
namespace {

bool is_identifier_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || byte >= 0x80;
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Keywords after which a "/" starts a regular expression rather than a division.
bool keyword_before_expression(std::string_view word) {
  constexpr std::array<std::string_view, 13> kKeywords = {
      "return", "typeof", "case", "do",    "else",  "in",   "of",
      "new",    "delete", "void", "throw", "yield", "await"};
  for (const std::string_view keyword : kKeywords) {
    if (word == keyword) return true;
  }
  return false;
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  std::vector<ImportStatement> run() {
    while (skip_space_and_comments()) {
      const char c = text_[i_];
      if (c == '"' || c == '\'') {
        on_string(read_string(c));
      } else if (c == '`') {
        skip_template();
        after_value();
      } else if (is_identifier_char(c)) {
        on_identifier(read_identifier());
      } else if (c == '/' && regex_allowed()) {
        skip_regex();
        after_value();
      } else {
        on_punctuation(c);
        ++i_;
      }
    }
    return std::move(found_);
  }

 private:
  enum class Expect { nothing, module_after_from, module_after_import, open_paren, call_string };

  // Advances past blanks and comments; false at the end of the text.
  bool skip_space_and_comments() {
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '\n') {
        ++line_;
        ++i_;
      } else if (is_space(c)) {
        ++i_;
      } else if (c == '/' && i_ + 1 < text_.size() && text_[i_ + 1] == '/') {
        while (i_ < text_.size() && text_[i_] != '\n') ++i_;
      } else if (c == '/' && i_ + 1 < text_.size() && text_[i_ + 1] == '*') {
        i_ += 2;
        while (i_ < text_.size() &&
               !(text_[i_] == '*' && i_ + 1 < text_.size() && text_[i_ + 1] == '/')) {
          if (text_[i_] == '\n') ++line_;
          ++i_;
        }
        i_ = std::min(i_ + 2, text_.size());
      } else {
        return true;
      }
    }
    return false;
  }

  // The literal's value, or no value when it holds an escape or ends with its line.
  std::optional<std::string> read_string(char quote) {
    const std::size_t begin = ++i_;
    bool escaped = false;
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '\\') {
        escaped = true;
        i_ += 2;
      } else if (c == quote) {
        const std::string_view value = text_.substr(begin, i_ - begin);
        ++i_;
        if (escaped) return std::nullopt;
        return std::string(value);
      } else if (c == '\n') {
        return std::nullopt;
      } else {
        ++i_;
      }
    }
    return std::nullopt;
  }

  void skip_template() {
    ++i_;
    int depth = 0;  // inside ${ ... }
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '\n') ++line_;
      if (c == '\\') {
        i_ += 2;
        continue;
      }
      if (depth == 0 && c == '`') {
        ++i_;
        return;
      }
      if (c == '$' && i_ + 1 < text_.size() && text_[i_ + 1] == '{') {
        ++depth;
        i_ += 2;
        continue;
      }
      if (depth > 0 && c == '{') ++depth;
      if (depth > 0 && c == '}') --depth;
      ++i_;
    }
  }

  void skip_regex() {
    ++i_;
    bool in_class = false;
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '\n') return;
      if (c == '\\') {
        i_ += 2;
        continue;
      }
      ++i_;
      if (c == '[') in_class = true;
      if (c == ']') in_class = false;
      if (c == '/' && !in_class) break;
    }
    while (i_ < text_.size() && is_identifier_char(text_[i_])) ++i_;  // flags
  }

  std::string_view read_identifier() {
    const std::size_t begin = i_;
    while (i_ < text_.size() && is_identifier_char(text_[i_])) ++i_;
    return text_.substr(begin, i_ - begin);
  }

  bool regex_allowed() const {
    if (i_ + 1 < text_.size() && (text_[i_ + 1] == '/' || text_[i_ + 1] == '*')) return false;
    switch (previous_) {
      case Previous::start:
      case Previous::punctuation:
        return previous_punctuation_ != ')' && previous_punctuation_ != ']' &&
               previous_punctuation_ != '}';
      case Previous::keyword:
        return true;
      case Previous::value:
        return false;
    }
    return false;
  }

  void on_string(std::optional<std::string> value) {
    const Expect expected = expect_;
    after_value();
    if (!value) return;
    if (expected == Expect::module_after_from || expected == Expect::module_after_import) {
      emit(std::move(*value), statement_line_);
      statement_line_ = 0;
    } else if (expected == Expect::call_string) {
      emit(std::move(*value), call_line_);
    }
  }

  void on_identifier(std::string_view word) {
    const bool member = previous_ == Previous::punctuation && previous_punctuation_ == '.';
    expect_ = Expect::nothing;
    previous_ = keyword_before_expression(word) ? Previous::keyword : Previous::value;
    if (member) return;
    if (word == "import") {
      // `import "m"`, `import x from "m"` or `import("m")`.
      statement_line_ = line_;
      call_line_ = line_;
      expect_ = Expect::module_after_import;
      previous_ = Previous::keyword;
    } else if (word == "export") {
      statement_line_ = line_;
      previous_ = Previous::keyword;
    } else if (word == "require") {
      call_line_ = line_;
      expect_ = Expect::open_paren;
    } else if (word == "from" && statement_line_ != 0) {
      expect_ = Expect::module_after_from;
      previous_ = Previous::keyword;
    }
  }

  void on_punctuation(char c) {
    const Expect expected = expect_;
    expect_ = Expect::nothing;
    previous_ = Previous::punctuation;
    previous_punctuation_ = c;
    if (c == '(' && (expected == Expect::open_paren || expected == Expect::module_after_import)) {
      expect_ = Expect::call_string;
      if (expected == Expect::module_after_import) statement_line_ = 0;
      return;
    }
    // Inside an import or export clause only braces, commas and `*` may appear.
    if (c != '{' && c != '}' && c != ',' && c != '*') statement_line_ = 0;
  }

  void after_value() {
    expect_ = Expect::nothing;
    previous_ = Previous::value;
  }

  void emit(std::string target, int line) {
    ImportStatement statement;
    statement.target = std::move(target);
    statement.line_number = line;
    found_.push_back(std::move(statement));
  }

  enum class Previous { start, punctuation, keyword, value };

  std::string_view text_;
  std::size_t i_ = 0;
  int line_ = 1;
  Expect expect_ = Expect::nothing;
  int statement_line_ = 0;  // line of the `import` or `export` whose clause is being read
  int call_line_ = 0;
  Previous previous_ = Previous::start;
  char previous_punctuation_ = 0;
  std::vector<ImportStatement> found_;
};

}  // namespace

std::vector<ImportStatement> scan_javascript_imports(std::string_view content) {
  return Tokenizer(content).run();
}

}  // namespace orvane::import_scanners

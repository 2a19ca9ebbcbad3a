#include "agents/markdown_sections.hpp"

#include "text/regex.hpp"
#include "text/unicode.hpp"

namespace orvane::markdown_sections {
namespace {

std::vector<std::string> line_items(const text::Regex& pattern, std::string_view section) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= section.size()) {
    const std::optional<text::RegexMatch> match = pattern.find(section, start);
    if (!match) break;
    items.emplace_back(match->group(section, 1));
    // Items hold at least one character, so a match never ends where it began.
    start = match->end();
  }
  return items;
}

std::vector<std::string> plain_lines(std::string_view section) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= section.size()) {
    std::size_t end = section.find('\n', start);
    if (end == std::string_view::npos) end = section.size();
    const std::string_view line = text::trim(section.substr(start, end - start));
    if (!line.empty() && !line.starts_with('#')) lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

std::string section_pattern_text(std::string_view start_marker,
                                 std::optional<std::string_view> end_marker) {
  std::string pattern = "## ";
  pattern += start_marker;
  if (end_marker && !end_marker->empty()) {
    pattern += "[^\n]*\n(.*?)(?=## ";
    pattern += *end_marker;
    pattern += "|$)";
  } else {
    pattern += "[^\n]*\n(.*?)$";
  }
  return pattern;
}

}  // namespace

SectionPattern::SectionPattern(std::string_view start_marker,
                               std::optional<std::string_view> end_marker)
    : regex_(section_pattern_text(start_marker, end_marker),
             {.dot_all = true, .case_insensitive = true}) {}

std::string SectionPattern::extract(std::string_view text) const {
  const std::optional<text::RegexMatch> match = regex_.find(text);
  if (!match) return {};
  return std::string(text::trim(match->group(text, 1)));
}

std::vector<std::string> SectionPattern::list_items(std::string_view text) const {
  const std::string section = extract(text);
  if (section.empty()) return {};

  static const text::Regex bulleted(R"(^[-*+]\s+(.+)$)", {.multi_line = true});
  static const text::Regex numbered(R"(^\d+\.\s+(.+)$)", {.multi_line = true});
  std::vector<std::string> found = line_items(bulleted, section);
  if (found.empty()) found = line_items(numbered, section);
  if (found.empty()) found = plain_lines(section);

  std::vector<std::string> items;
  items.reserve(found.size());
  for (const std::string& item : found) {
    const std::string_view trimmed = text::trim(item);
    if (!trimmed.empty()) items.emplace_back(trimmed);
  }
  return items;
}

std::string extract_section(std::string_view text, std::string_view start_marker,
                            std::optional<std::string_view> end_marker) {
  return SectionPattern(start_marker, end_marker).extract(text);
}

std::vector<std::string> extract_list_items(std::string_view text, std::string_view start_marker,
                                            std::optional<std::string_view> end_marker) {
  return SectionPattern(start_marker, end_marker).list_items(text);
}

}  // namespace orvane::markdown_sections

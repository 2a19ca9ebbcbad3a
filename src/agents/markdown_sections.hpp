#pragma once
// Cutting a model's Markdown answer into the fields of an analysis.
//
// Sections are found by a word of their level-2 heading and end at a word of the next one.
// Pure functions; odd text never fails: a missing section gives an empty result. The markers
// are pattern text, inserted unescaped; a marker that is not a valid pattern throws
// text::RegexError, a pathological one text::RegexLimitError.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/regex.hpp"

namespace orvane::markdown_sections {

// One section's compiled pattern, for cutting many answers with the same markers. Immutable;
// may be shared between threads.
class SectionPattern {
 public:
  SectionPattern(std::string_view start_marker, std::optional<std::string_view> end_marker);

  // See extract_section and extract_list_items below.
  std::string extract(std::string_view text) const;
  std::vector<std::string> list_items(std::string_view text) const;

 private:
  text::Regex regex_;
};

// The body of the first section whose heading holds "## " + `start_marker` (any letter case),
// up to the first later "## " + `end_marker`, or to the end of the text when that never comes
// or `end_marker` is absent or empty; trimmed. The heading line must end with a line feed.
std::string extract_section(std::string_view text, std::string_view start_marker,
                            std::optional<std::string_view> end_marker);

// The list entries of that section: its bulleted lines ("-", "*" or "+" in the first column),
// else its numbered lines ("1." ...), else every non-blank line not starting with "#"; each
// trimmed, empty ones dropped, in order.
std::vector<std::string> extract_list_items(std::string_view text, std::string_view start_marker,
                                            std::optional<std::string_view> end_marker);

}  // namespace orvane::markdown_sections

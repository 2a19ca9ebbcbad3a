#pragma once
// The warning line an optional step prints when it fails and the run goes on.
//
// The line is "⚠️  " (the sign, U+FE0F and two spaces), `text` and a line feed, written to
// standard output in one piece and flushed, so lines of interleaved analyses never mix.

#include <string_view>

namespace orvane::warnings {

void print(std::string_view text);

}  // namespace orvane::warnings

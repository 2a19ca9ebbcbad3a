#pragma once
// Filling the placeholders of a fixed text.
//
// A placeholder is a name in braces. Filling is one pass over the pattern, so braces inside an
// inserted value (source code is full of them) are copied as they are and never filled.

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvane::prompt_template {

struct Value {
  std::string_view name;
  std::string_view text;
};

// `pattern` with every "{name}" replaced by the text of the value of that name. Throws
// std::logic_error for a placeholder that has no value or an unclosed brace: a fault of the
// pattern, never of the inserted texts.
std::string fill(std::string_view pattern, std::initializer_list<Value> values);

}  // namespace orvane::prompt_template

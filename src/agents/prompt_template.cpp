#include "agents/prompt_template.hpp"

#include <stdexcept>

namespace orvane::prompt_template {

std::string fill(std::string_view pattern, std::initializer_list<Value> values) {
  std::size_t reserved = pattern.size();
  for (const Value& value : values) reserved += value.text.size();
  std::string out;
  out.reserve(reserved);

  std::size_t position = 0;
  while (position < pattern.size()) {
    const std::size_t open = pattern.find('{', position);
    if (open == std::string_view::npos) {
      out.append(pattern.substr(position));
      break;
    }
    out.append(pattern.substr(position, open - position));
    const std::size_t close = pattern.find('}', open + 1);
    if (close == std::string_view::npos) {
      throw std::logic_error("prompt template: unclosed placeholder");
    }
    const std::string_view name = pattern.substr(open + 1, close - open - 1);
    const Value* found = nullptr;
    for (const Value& value : values) {
      if (value.name == name) found = &value;
    }
    if (found == nullptr) {
      throw std::logic_error("prompt template: no value for {" + std::string(name) + "}");
    }
    out.append(found->text);
    position = close + 1;
  }
  return out;
}

}  // namespace orvane::prompt_template

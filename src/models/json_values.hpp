#pragma once
// Dynamic values: skill arguments and results, code-execution maps, model answers.

#include <nlohmann/json.hpp>

namespace orvane {

using Json = nlohmann::ordered_json;

// The truth test of a dynamic value: null, false, 0, an empty text, array or object are false;
// every other value is true.
inline bool is_truthy(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
      return false;
    case Json::value_t::boolean:
      return value.get<bool>();
    case Json::value_t::number_integer:
      return value.get<std::int64_t>() != 0;
    case Json::value_t::number_unsigned:
      return value.get<std::uint64_t>() != 0;
    case Json::value_t::number_float:
      return value.get<double>() != 0.0;
    case Json::value_t::string:
      // empty() is false for every non-container value, texts included: test the text itself.
      return !value.get_ref<const std::string&>().empty();
    case Json::value_t::array:
    case Json::value_t::object:
    case Json::value_t::binary:
      return !value.empty();
  }
  return false;
}

}  // namespace orvane

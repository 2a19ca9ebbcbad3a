#pragma once
// String-valued enumerations: an enum whose every member stands for one value text. The member
// is converted to and from that text only; its C++ name is never read or written.
//
// Declare the table beside the enum, as a constexpr function found by argument-dependent
// lookup, members in declaration order:
//
//   enum class Colour { RED, DARK_BLUE };
//   constexpr auto enum_texts(Colour) {
//     using enum Colour;
//     return std::to_array<EnumText<Colour>>({{RED, "red"}, {DARK_BLUE, "dark_blue"}});
//   }
//
// Then value_text(Colour::RED) is "red", enum_from_text<Colour>("red") is RED, Colour::RED ==
// "red" holds, and a Json value built from a member holds its text.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "models/json_values.hpp"

namespace orvane {

template <class E>
using EnumText = std::pair<E, std::string_view>;

template <class E>
concept StringEnum = std::is_enum_v<E> && requires(E e) {
  { enum_texts(e).size() } -> std::convertible_to<std::size_t>;
  { enum_texts(e).begin()->second } -> std::convertible_to<std::string_view>;
};

// The underlying number of a value, for messages about values outside the table.
template <StringEnum E>
std::string underlying_text(E value) {
  return std::to_string(static_cast<long long>(static_cast<std::underlying_type_t<E>>(value)));
}

// Throws std::invalid_argument for a value outside the table (only a cast can make one).
template <StringEnum E>
constexpr std::string_view value_text(E value) {
  for (const auto& [member, text] : enum_texts(E{})) {
    if (member == value) return text;
  }
  throw std::invalid_argument("enumeration value " + underlying_text(value) + " has no text");
}

// The member whose text is exactly `text` (case and spelling included), or nothing.
template <StringEnum E>
constexpr std::optional<E> enum_from_text(std::string_view text) {
  for (const auto& [member, member_text] : enum_texts(E{})) {
    if (member_text == text) return member;
  }
  return std::nullopt;
}

template <StringEnum E>
constexpr bool is_enum_member(E value) {
  for (const auto& entry : enum_texts(E{})) {
    if (entry.first == value) return true;
  }
  return false;
}

template <StringEnum E>
constexpr bool operator==(E value, std::string_view text) {
  return is_enum_member(value) && value_text(value) == text;
}

// Hooks for nlohmann::json, so that a member never turns into its underlying integer.
template <StringEnum E>
void to_json(Json& json, E value) {
  json = std::string(value_text(value));
}

template <StringEnum E>
void from_json(const Json& json, E& value) {
  const auto member =
      json.is_string() ? enum_from_text<E>(json.get_ref<const std::string&>()) : std::nullopt;
  if (!member) throw std::invalid_argument("not a value text of the enumeration: " + json.dump());
  value = *member;
}

}  // namespace orvane

#pragma once
// The value kinds a record field may hold, and for each one how it is read from JSON, written to
// JSON, checked in a value built in C++ and described in a JSON schema. Included by record.hpp;
// use that header.
//
// Kinds: std::string; bool; signed integers (int, std::int64_t, ...); floating-point numbers;
// string-valued enumerations (string_enum.hpp); nested records (record.hpp); std::optional and
// std::vector of any of these. Reading is strict: a text is never a number, a boolean is never a
// number, a number is never a text. A floating-point field takes any JSON number (7 reads as
// 7.0); an integer field takes a JSON integer or a number without fraction (7.0 reads as 7) that
// fits its type. JSON null is accepted only by std::optional (as "absent").

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "models/json_values.hpp"
#include "models/string_enum.hpp"
#include "models/validation_error.hpp"

namespace orvane::record {

using Errors = std::vector<FieldError>;

// Codec<T>: read(json, out, path, errors) appends to `errors` instead of throwing; check(value,
// path, errors) validates a value built in C++; write(value) and schema() give JSON.
template <class T>
struct Codec;

template <class T>
concept Encodable = requires {
  Codec<T>::schema();
};

namespace detail {

inline std::string child_path(const std::string& parent, std::string_view name) {
  if (parent.empty()) return std::string(name);
  std::string path = parent;
  path += '.';
  path += name;
  return path;
}

inline std::string index_path(const std::string& parent, std::size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

inline std::string kind_name(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "an integer";
    case Json::value_t::number_float:
      return "a number";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::binary:
    case Json::value_t::discarded:
      break;
  }
  return "an unsupported value";
}

inline void expected(std::string_view what, const Json& got, const std::string& path,
                     Errors& errors) {
  errors.push_back({path, "expected " + std::string(what) + ", got " + kind_name(got)});
}

inline Json type_schema(std::string_view type) {
  return Json{{"type", std::string(type)}};
}

template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

}  // namespace detail

template <>
struct Codec<std::string> {
  static void read(const Json& json, std::string& out, const std::string& path, Errors& errors) {
    if (!json.is_string()) return detail::expected("a string", json, path, errors);
    out = json.get_ref<const std::string&>();
  }
  static void check(const std::string&, const std::string&, Errors&) {}
  static Json write(const std::string& value) { return value; }
  static Json schema() { return detail::type_schema("string"); }
};

template <>
struct Codec<bool> {
  static void read(const Json& json, bool& out, const std::string& path, Errors& errors) {
    if (!json.is_boolean()) return detail::expected("a boolean", json, path, errors);
    out = json.get<bool>();
  }
  static void check(bool, const std::string&, Errors&) {}
  static Json write(bool value) { return value; }
  static Json schema() { return detail::type_schema("boolean"); }
};

template <std::signed_integral I>
requires(!std::same_as<I, bool>) struct Codec<I> {
  static void read(const Json& json, I& out, const std::string& path, Errors& errors) {
    using Limits = std::numeric_limits<I>;
    bool fits = false;
    if (json.is_number_integer() && !json.is_number_unsigned()) {
      const auto value = json.get<std::int64_t>();
      fits = value >= Limits::min() && value <= Limits::max();
      if (fits) out = static_cast<I>(value);
    } else if (json.is_number_unsigned()) {
      const auto value = json.get<std::uint64_t>();
      fits = value <= static_cast<std::uint64_t>(Limits::max());
      if (fits) out = static_cast<I>(value);
    } else if (json.is_number_float()) {
      const double value = json.get<double>();
      if (std::trunc(value) != value) {
        return errors.push_back({path, "expected an integer, got " + json.dump()});
      }
      // The upper limit as a double may round up past max(), so the comparison is strict.
      fits = value >= static_cast<double>(Limits::min()) &&
             value < static_cast<double>(Limits::max()) + 1.0;
      if (fits) out = static_cast<I>(value);
    } else {
      return detail::expected("an integer", json, path, errors);
    }
    if (!fits) errors.push_back({path, "integer out of range: " + json.dump()});
  }
  static void check(I, const std::string&, Errors&) {}
  static Json write(I value) { return static_cast<std::int64_t>(value); }
  static Json schema() { return detail::type_schema("integer"); }
};

template <std::floating_point F>
struct Codec<F> {
  static void read(const Json& json, F& out, const std::string& path, Errors& errors) {
    if (!json.is_number()) return detail::expected("a number", json, path, errors);
    out = json.get<F>();
    check(out, path, errors);
  }
  static void check(F value, const std::string& path, Errors& errors) {
    if (!std::isfinite(value)) errors.push_back({path, "not a finite number"});
  }
  static Json write(F value) { return static_cast<double>(value); }
  static Json schema() { return detail::type_schema("number"); }
};

template <StringEnum E>
struct Codec<E> {
  static std::string allowed_texts() {
    std::string texts;
    for (const auto& entry : enum_texts(E{})) {
      if (!texts.empty()) texts += ", ";
      texts += Json(std::string(entry.second)).dump();
    }
    return texts;
  }
  static void read(const Json& json, E& out, const std::string& path, Errors& errors) {
    if (!json.is_string()) return detail::expected("a string", json, path, errors);
    const auto member = enum_from_text<E>(json.get_ref<const std::string&>());
    if (!member) return errors.push_back({path, json.dump() + " is not one of " + allowed_texts()});
    out = *member;
  }
  static void check(E value, const std::string& path, Errors& errors) {
    if (!is_enum_member(value)) {
      errors.push_back(
          {path, "not a member of the enumeration (value " + underlying_text(value) + ")"});
    }
  }
  static Json write(E value) { return std::string(value_text(value)); }
  static Json schema() {
    Json texts = Json::array();
    for (const auto& entry : enum_texts(E{})) texts.push_back(std::string(entry.second));
    return Json{{"type", "string"}, {"enum", std::move(texts)}};
  }
};

template <Encodable T>
requires(!detail::is_optional<T>::value) struct Codec<std::optional<T>> {
  static void read(const Json& json, std::optional<T>& out, const std::string& path,
                   Errors& errors) {
    if (json.is_null()) return out.reset();
    T value{};
    const auto before = errors.size();
    Codec<T>::read(json, value, path, errors);
    if (errors.size() == before) out = std::move(value);
  }
  static void check(const std::optional<T>& value, const std::string& path, Errors& errors) {
    if (value) Codec<T>::check(*value, path, errors);
  }
  static Json write(const std::optional<T>& value) {
    return value ? Codec<T>::write(*value) : Json(nullptr);
  }
  // A plain type becomes ["type", "null"]; an enumeration keeps its list of texts intact in the
  // first branch of an anyOf, since null is not one of its texts.
  static Json schema() {
    Json inner = Codec<T>::schema();
    if (inner.contains("enum") || !inner.contains("type") || !inner["type"].is_string()) {
      return Json{{"anyOf", Json::array({std::move(inner), detail::type_schema("null")})}};
    }
    inner["type"] = Json::array({inner["type"], "null"});
    return inner;
  }
};

template <Encodable T>
struct Codec<std::vector<T>> {
  static void read(const Json& json, std::vector<T>& out, const std::string& path, Errors& errors) {
    if (!json.is_array()) return detail::expected("an array", json, path, errors);
    std::vector<T> values;
    values.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
      T value{};
      Codec<T>::read(json[i], value, detail::index_path(path, i), errors);
      values.push_back(std::move(value));
    }
    out = std::move(values);
  }
  static void check(const std::vector<T>& values, const std::string& path, Errors& errors) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      Codec<T>::check(values[i], detail::index_path(path, i), errors);
    }
  }
  static Json write(const std::vector<T>& values) {
    Json out = Json::array();
    for (const auto& value : values) out.push_back(Codec<T>::write(value));
    return out;
  }
  static Json schema() { return Json{{"type", "array"}, {"items", Codec<T>::schema()}}; }
};

}  // namespace orvane::record

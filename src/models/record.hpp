#pragma once
// Validating records. A record is a plain aggregate that lists its fields once, in a static
// fields() returning a tuple of field descriptors; from that list it gets JSON reading with
// validation, JSON writing and its JSON schema:
//
//   struct Finding {
//     std::string file{};
//     std::optional<std::int64_t> line{};    // optional: absent (null) by default
//     double score = 0.0;                    // the member initializer is the default
//     std::vector<std::string> tags{};       // a fresh empty list in every record
//
//     static auto fields() {
//       using record::field;
//       return std::tuple{
//           field("file", &Finding::file, "File holding the finding"),  // required
//           field("line", &Finding::line, "Line number"),
//           field("score", &Finding::score, "Score (0-10)").defaulted().bounds(0.0, 10.0),
//           field("tags", &Finding::tags, "Labels").defaulted()};
//     }
//   };
//
// A field is required unless it is a std::optional (absent by default) or marked defaulted():
// then a missing key leaves the value that the member's initializer gave, evaluated afresh for
// each record, which serves both as default value and as default factory. Bounds are inclusive
// and apply to numeric fields (and optional numeric fields when present). Field kinds: see
// record_kinds.hpp; a nested record is a field kind too. Give every member an initializer ({} at
// least) so that designated initializers (Finding{.file = "a.cpp"}) leave no member without one.
//
// record::from_json<R>(json) throws ValidationError listing every offending field and produces no
// record; keys the declaration does not name are ignored (a model's answer may carry extra keys).
// record::validate(r) checks a record built in C++ (bounds, enumeration values, finite numbers).
// record::to_json(r) writes every field in declaration order, absent values as null.
// record::json_schema<R>() gives the JSON Schema meant for Gemini's responseJsonSchema: nested
// records inline, "propertyOrdering" in declaration order, nullable as ["type", "null"].
// All of these are pure functions of their arguments.

#include <concepts>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "models/json_values.hpp"
#include "models/record_kinds.hpp"
#include "models/validation_error.hpp"

namespace orvane::record {

template <class R>
concept Record = std::is_class_v<R> && std::default_initializable<R> && requires {
  std::tuple_size<decltype(R::fields())>::value;
};

namespace detail {

template <class M>
struct NumericOf {
  using type = void;
};
template <class M>
requires(std::is_arithmetic_v<M> && !std::same_as<M, bool>) struct NumericOf<M> {
  using type = M;
};
template <class M>
requires(std::is_arithmetic_v<M> && !std::same_as<M, bool>) struct NumericOf<std::optional<M>> {
  using type = M;
};

struct NoBound {};

}  // namespace detail

template <class M>
concept Numeric = !std::is_void_v<typename detail::NumericOf<M>::type>;

template <class R, Encodable M>
class Field {
 public:
  using Bound =
      std::conditional_t<Numeric<M>, typename detail::NumericOf<M>::type, detail::NoBound>;

  constexpr Field(std::string_view name, M R::*member, std::string_view description)
      : name_(name),
        member_(member),
        description_(description),
        has_default_(detail::is_optional<M>::value) {}

  constexpr Field defaulted() const {
    Field copy = *this;
    copy.has_default_ = true;
    return copy;
  }
  constexpr Field minimum(Bound lowest) const requires Numeric<M> {
    Field copy = *this;
    copy.minimum_ = lowest;
    return copy;
  }
  constexpr Field maximum(Bound highest) const requires Numeric<M> {
    Field copy = *this;
    copy.maximum_ = highest;
    return copy;
  }
  constexpr Field bounds(Bound lowest, Bound highest) const requires Numeric<M> {
    return minimum(lowest).maximum(highest);
  }

  constexpr std::string_view name() const { return name_; }
  constexpr std::string_view description() const { return description_; }
  constexpr bool required() const { return !has_default_; }

  void read(const Json& object, R& record, const std::string& parent, Errors& errors) const {
    const auto path = detail::child_path(parent, name_);
    const auto found = object.find(std::string(name_));
    if (found == object.end()) {
      if (!has_default_) errors.push_back({path, "missing required field"});
      return;
    }
    const auto before = errors.size();
    Codec<M>::read(*found, record.*member_, path, errors);
    if (errors.size() == before) check_bounds(record.*member_, path, errors);
  }

  void check(const R& record, const std::string& parent, Errors& errors) const {
    const auto path = detail::child_path(parent, name_);
    const auto before = errors.size();
    Codec<M>::check(record.*member_, path, errors);
    if (errors.size() == before) check_bounds(record.*member_, path, errors);
  }

  void write(const R& record, Json& object) const {
    object[std::string(name_)] = Codec<M>::write(record.*member_);
  }

  Json schema() const {
    Json schema = Codec<M>::schema();
    if constexpr (Numeric<M>) {
      if (minimum_) schema["minimum"] = *minimum_;
      if (maximum_) schema["maximum"] = *maximum_;
    }
    schema["description"] = std::string(description_);
    return schema;
  }

 private:
  void check_bounds(const M& value, const std::string& path, Errors& errors) const {
    if constexpr (Numeric<M>) {
      const Bound* number = nullptr;
      if constexpr (detail::is_optional<M>::value) {
        if (value) number = &*value;
      } else {
        number = &value;
      }
      if (number == nullptr) return;
      if (minimum_ && *number < *minimum_) {
        errors.push_back({path, "must be at least " + Json(*minimum_).dump() + " (got " +
                                    Json(*number).dump() + ")"});
      } else if (maximum_ && *number > *maximum_) {
        errors.push_back({path, "must be at most " + Json(*maximum_).dump() + " (got " +
                                    Json(*number).dump() + ")"});
      }
    }
  }

  std::string_view name_;
  M R::*member_;
  std::string_view description_;
  bool has_default_;
  std::optional<Bound> minimum_;
  std::optional<Bound> maximum_;
};

template <class R, class M>
constexpr Field<R, M> field(std::string_view name, M R::*member, std::string_view description) {
  static_assert(Encodable<M>, "unsupported field kind: see record_kinds.hpp");
  return Field<R, M>(name, member, description);
}

template <Record R, class Visit>
void for_each_field(Visit&& visit) {
  std::apply([&](const auto&... fields) { (visit(fields), ...); }, R::fields());
}

template <Record R>
struct Codec<R> {
  static void read(const Json& json, R& out, const std::string& path, Errors& errors) {
    if (!json.is_object()) return detail::expected("an object", json, path, errors);
    for_each_field<R>([&](const auto& field) { field.read(json, out, path, errors); });
  }
  static void check(const R& record, const std::string& path, Errors& errors) {
    for_each_field<R>([&](const auto& field) { field.check(record, path, errors); });
  }
  static Json write(const R& record) {
    Json out = Json::object();
    for_each_field<R>([&](const auto& field) { field.write(record, out); });
    return out;
  }
  static Json schema() {
    Json properties = Json::object();
    Json required = Json::array();
    Json ordering = Json::array();
    for_each_field<R>([&](const auto& field) {
      const std::string name(field.name());
      if (properties.contains(name)) throw std::logic_error("field declared twice: " + name);
      properties[name] = field.schema();
      if (field.required()) required.push_back(name);
      ordering.push_back(name);
    });
    Json schema = Json::object();
    schema["type"] = "object";
    schema["properties"] = std::move(properties);
    if (!required.empty()) schema["required"] = std::move(required);
    schema["propertyOrdering"] = std::move(ordering);
    return schema;
  }
};

// Throws ValidationError (every offending field, with its path); no record is produced.
template <Record R>
R from_json(const Json& json) {
  R record{};
  Errors errors;
  Codec<R>::read(json, record, "", errors);
  if (!errors.empty()) throw ValidationError(std::move(errors));
  return record;
}

// Throws ValidationError when a bound is broken, an enumeration holds a value outside its table
// or a floating-point field is not finite.
template <Record R>
void validate(const R& record) {
  Errors errors;
  Codec<R>::check(record, "", errors);
  if (!errors.empty()) throw ValidationError(std::move(errors));
}

// Throws std::invalid_argument for an enumeration value outside its table.
template <Record R>
Json to_json(const R& record) {
  return Codec<R>::write(record);
}

template <Record R>
Json json_schema() {
  return Codec<R>::schema();
}

}  // namespace orvane::record

namespace orvane {

// Hooks for nlohmann::json (`Json j = r;`, `j.get<R>()`) for records declared in namespace
// orvane; they go through the validating reader.
template <record::Record R>
void to_json(Json& json, const R& value) {
  json = record::to_json(value);
}

template <record::Record R>
void from_json(const Json& json, R& value) {
  value = record::from_json<R>(json);
}

}  // namespace orvane

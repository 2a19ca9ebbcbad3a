#include "models/record.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "models/string_enum.hpp"

namespace orvane {
namespace {

enum class Colour { RED, DARK_BLUE };

constexpr auto enum_texts(Colour) {
  using enum Colour;
  return std::to_array<EnumText<Colour>>({{RED, "red"}, {DARK_BLUE, "dark_blue"}});
}

struct Point {
  int x = 0;
  int y = 0;

  bool operator==(const Point&) const = default;

  static auto fields() {
    using record::field;
    return std::tuple{field("x", &Point::x, "Abscissa"), field("y", &Point::y, "Ordinate")};
  }
};

// One field of every kind the facility supports.
struct Sample {
  std::string name{};
  bool active = false;
  int count = 3;
  std::int64_t big = 0;
  double ratio = 0.5;
  Colour colour = Colour::DARK_BLUE;
  std::optional<int> level{};
  std::optional<Colour> tint{};
  std::optional<Point> origin{};
  std::vector<Point> points{};
  std::vector<std::string> tags{};
  Point corner{};

  bool operator==(const Sample&) const = default;

  static auto fields() {
    using record::field;
    using R = Sample;
    return std::tuple{
        field("name", &R::name, "Name"),
        field("active", &R::active, "Active").defaulted(),
        field("count", &R::count, "Count").defaulted().bounds(0, 100),
        field("big", &R::big, "Big").defaulted(),
        field("ratio", &R::ratio, "Ratio").defaulted().bounds(0.0, 1.0),
        field("colour", &R::colour, "Colour").defaulted(),
        field("level", &R::level, "Level").minimum(1),
        field("tint", &R::tint, "Tint"),
        field("origin", &R::origin, "Origin"),
        field("points", &R::points, "Points").defaulted(),
        field("tags", &R::tags, "Tags").defaulted(),
        field("corner", &R::corner, "Corner"),
    };
  }
};

Json minimal_sample() {
  return Json{{"name", "n"}, {"corner", {{"x", 1}, {"y", 2}}}};
}

struct KindCase {
  const char* key;
  Json value;
  const char* written;  // how the field is written back after a successful read; "" on error
  const char* error;    // the expected what(); "" when the read succeeds
};

class RecordKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(RecordKinds, ReadsOnlyItsOwnKind) {
  const KindCase& c = GetParam();
  Json input = minimal_sample();
  input[c.key] = c.value;
  if (std::string(c.error).empty()) {
    const auto sample = record::from_json<Sample>(input);
    EXPECT_EQ(record::to_json(sample)[c.key].dump(), c.written);
  } else {
    try {
      record::from_json<Sample>(input);
      FAIL() << "accepted " << c.value.dump() << " for " << c.key;
    } catch (const ValidationError& error) {
      EXPECT_STREQ(error.what(), c.error);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordKinds,
    ::testing::Values(
        KindCase{"name", "text", "\"text\"", ""},
        KindCase{"name", 5, "", "invalid record: name: expected a string, got an integer"},
        KindCase{"name", nullptr, "", "invalid record: name: expected a string, got null"},
        KindCase{"active", true, "true", ""},
        KindCase{"active", 1, "", "invalid record: active: expected a boolean, got an integer"},
        KindCase{"active", "true", "", "invalid record: active: expected a boolean, got a string"},
        KindCase{"count", 7, "7", ""}, KindCase{"count", 7.0, "7", ""},
        KindCase{"count", "7", "", "invalid record: count: expected an integer, got a string"},
        KindCase{"count", true, "", "invalid record: count: expected an integer, got a boolean"},
        KindCase{"count", 7.5, "", "invalid record: count: expected an integer, got 7.5"},
        KindCase{"count", 3000000000LL, "",
                 "invalid record: count: integer out of range: 3000000000"},
        KindCase{"count", 0, "0", ""}, KindCase{"count", 100, "100", ""},
        KindCase{"count", -1, "", "invalid record: count: must be at least 0 (got -1)"},
        KindCase{"count", 101, "", "invalid record: count: must be at most 100 (got 101)"},
        KindCase{"big", 3000000000LL, "3000000000", ""},
        KindCase{"big", std::numeric_limits<std::int64_t>::min(), "-9223372036854775808", ""},
        KindCase{"big", std::numeric_limits<std::uint64_t>::max(), "",
                 "invalid record: big: integer out of range: 18446744073709551615"},
        KindCase{"big", 9.3e18, "", "invalid record: big: integer out of range: 9.3e+18"},
        KindCase{"ratio", 1, "1.0", ""}, KindCase{"ratio", 0.25, "0.25", ""},
        KindCase{"ratio", "0.5", "", "invalid record: ratio: expected a number, got a string"},
        KindCase{"ratio", false, "", "invalid record: ratio: expected a number, got a boolean"},
        KindCase{"ratio", 1.0000001, "",
                 "invalid record: ratio: must be at most 1.0 (got 1.0000001)"},
        KindCase{"colour", "dark_blue", "\"dark_blue\"", ""},
        KindCase{"colour", "DARK_BLUE", "",
                 "invalid record: colour: \"DARK_BLUE\" is not one of \"red\", \"dark_blue\""},
        KindCase{"colour", "dark blue", "",
                 "invalid record: colour: \"dark blue\" is not one of \"red\", \"dark_blue\""},
        KindCase{"colour", 1, "", "invalid record: colour: expected a string, got an integer"},
        KindCase{"level", nullptr, "null", ""}, KindCase{"level", 1, "1", ""},
        KindCase{"level", 0, "", "invalid record: level: must be at least 1 (got 0)"},
        KindCase{"level", "2", "", "invalid record: level: expected an integer, got a string"},
        KindCase{"tint", nullptr, "null", ""}, KindCase{"tint", "red", "\"red\"", ""},
        KindCase{"tint", "Red", "",
                 "invalid record: tint: \"Red\" is not one of \"red\", \"dark_blue\""},
        KindCase{"origin", nullptr, "null", ""},
        KindCase{"origin", Json{{"x", 4}, {"y", 5}}, "{\"x\":4,\"y\":5}", ""},
        KindCase{"origin", Json::array({4, 5}), "",
                 "invalid record: origin: expected an object, got an array"},
        KindCase{"points", Json::array(), "[]", ""},
        KindCase{"points", nullptr, "", "invalid record: points: expected an array, got null"},
        KindCase{"points", Json{{"x", 4}, {"y", 5}}, "",
                 "invalid record: points: expected an array, got an object"},
        KindCase{"tags", Json::array({"a", "b"}), "[\"a\",\"b\"]", ""},
        KindCase{"tags", "a", "", "invalid record: tags: expected an array, got a string"},
        KindCase{"corner", nullptr, "", "invalid record: corner: expected an object, got null"}));

TEST(RecordRead, ListsEveryOffendingFieldWithItsPath) {
  const Json input = Json::parse(R"({
    "active": "yes",
    "ratio": -1,
    "origin": {"x": true},
    "points": [{"x": 1, "y": 2}, {"x": "1"}, 3],
    "tags": ["ok", 2, null],
    "corner": {"x": 1, "y": 2}
  })");
  try {
    record::from_json<Sample>(input);
    FAIL() << "an invalid record was built";
  } catch (const ValidationError& error) {
    const std::vector<FieldError> expected{
        {"name", "missing required field"},
        {"active", "expected a boolean, got a string"},
        {"ratio", "must be at least 0.0 (got -1.0)"},
        {"origin.x", "expected an integer, got a boolean"},
        {"origin.y", "missing required field"},
        {"points[1].x", "expected an integer, got a string"},
        {"points[1].y", "missing required field"},
        {"points[2]", "expected an object, got an integer"},
        {"tags[1]", "expected a string, got an integer"},
        {"tags[2]", "expected a string, got null"},
    };
    EXPECT_EQ(error.errors(), expected);
    EXPECT_STREQ(error.what(),
                 "invalid record: name: missing required field; active: expected a boolean, got a "
                 "string; ratio: must be at least 0.0 (got -1.0); origin.x: expected an integer, "
                 "got a boolean; origin.y: missing required field; points[1].x: expected an "
                 "integer, got a string; points[1].y: missing required field; points[2]: "
                 "expected an object, got an integer; tags[1]: expected a string, got an integer; "
                 "tags[2]: expected a string, got null");
  }
}

TEST(RecordRead, RejectsARootThatIsNotAnObject) {
  for (const Json& input : {Json(nullptr), Json::array(), Json("{}"), Json(1)}) {
    try {
      record::from_json<Sample>(input);
      FAIL() << "built a record from " << input.dump();
    } catch (const ValidationError& error) {
      ASSERT_EQ(error.errors().size(), 1u);
      EXPECT_EQ(error.errors()[0].path, "");
      EXPECT_EQ(std::string(error.what()).rfind("invalid record: expected an object, got ", 0), 0u)
          << error.what();
    }
  }
}

TEST(RecordRead, MissingKeysTakeTheirDefaultsAndUnknownKeysAreIgnored) {
  Json input = minimal_sample();
  input["unknown"] = Json{{"anything", 1}};
  input["Name"] = 42;
  const auto sample = record::from_json<Sample>(input);

  Sample expected;
  expected.name = "n";
  expected.corner = {1, 2};
  EXPECT_EQ(sample, expected);
  EXPECT_EQ(sample.count, 3);
  EXPECT_EQ(sample.colour, Colour::DARK_BLUE);
  EXPECT_FALSE(sample.level.has_value());
  EXPECT_FALSE(sample.origin.has_value());
}

TEST(RecordWrite, WritesEveryFieldInDeclarationOrderAndReadsBackEqual) {
  Sample sample;
  sample.name = "é \"quoted\"";
  sample.active = true;
  sample.count = 100;
  sample.big = std::numeric_limits<std::int64_t>::max();
  sample.ratio = 0.1;
  sample.colour = Colour::RED;
  sample.level = 9;
  sample.tint = Colour::DARK_BLUE;
  sample.origin = Point{-1, -2};
  sample.points = {{1, 2}, {3, 4}};
  sample.tags = {"a", ""};
  sample.corner = {5, 6};

  const Json written = record::to_json(sample);
  EXPECT_EQ(written.dump(),
            R"({"name":"é \"quoted\"","active":true,"count":100,"big":9223372036854775807,)"
            R"("ratio":0.1,"colour":"red","level":9,"tint":"dark_blue","origin":{"x":-1,"y":-2},)"
            R"("points":[{"x":1,"y":2},{"x":3,"y":4}],"tags":["a",""],"corner":{"x":5,"y":6}})");
  EXPECT_EQ(record::from_json<Sample>(Json::parse(written.dump())), sample);

  Sample sparse;
  sparse.name = "s";
  const Json sparse_written = record::to_json(sparse);
  EXPECT_TRUE(sparse_written["level"].is_null());
  EXPECT_TRUE(sparse_written["tint"].is_null());
  EXPECT_TRUE(sparse_written["origin"].is_null());
  EXPECT_EQ(record::from_json<Sample>(sparse_written), sparse);
}

TEST(RecordValidate, ChecksARecordBuiltInCode) {
  Sample sample;
  sample.name = "built";
  EXPECT_NO_THROW(record::validate(sample));

  sample.count = 101;
  sample.ratio = std::nan("");
  sample.colour = static_cast<Colour>(7);
  sample.level = 0;
  sample.points = {{1, 2}};
  try {
    record::validate(sample);
    FAIL() << "an invalid record passed";
  } catch (const ValidationError& error) {
    const std::vector<FieldError> expected{
        {"count", "must be at most 100 (got 101)"},
        {"ratio", "not a finite number"},
        {"colour", "not a member of the enumeration (value 7)"},
        {"level", "must be at least 1 (got 0)"},
    };
    EXPECT_EQ(error.errors(), expected);
  }
  EXPECT_THROW(record::to_json(sample), std::invalid_argument);
}

TEST(RecordSchema, DescribesEveryKind) {
  const Json expected = Json::parse(R"({
    "type": "object",
    "properties": {
      "name": {"type": "string", "description": "Name"},
      "active": {"type": "boolean", "description": "Active"},
      "count": {"type": "integer", "minimum": 0, "maximum": 100, "description": "Count"},
      "big": {"type": "integer", "description": "Big"},
      "ratio": {"type": "number", "minimum": 0.0, "maximum": 1.0, "description": "Ratio"},
      "colour": {"type": "string", "enum": ["red", "dark_blue"], "description": "Colour"},
      "level": {"type": ["integer", "null"], "minimum": 1, "description": "Level"},
      "tint": {
        "anyOf": [{"type": "string", "enum": ["red", "dark_blue"]}, {"type": "null"}],
        "description": "Tint"
      },
      "origin": {
        "type": ["object", "null"],
        "properties": {
          "x": {"type": "integer", "description": "Abscissa"},
          "y": {"type": "integer", "description": "Ordinate"}
        },
        "required": ["x", "y"],
        "propertyOrdering": ["x", "y"],
        "description": "Origin"
      },
      "points": {
        "type": "array",
        "items": {
          "type": "object",
          "properties": {
            "x": {"type": "integer", "description": "Abscissa"},
            "y": {"type": "integer", "description": "Ordinate"}
          },
          "required": ["x", "y"],
          "propertyOrdering": ["x", "y"]
        },
        "description": "Points"
      },
      "tags": {"type": "array", "items": {"type": "string"}, "description": "Tags"},
      "corner": {
        "type": "object",
        "properties": {
          "x": {"type": "integer", "description": "Abscissa"},
          "y": {"type": "integer", "description": "Ordinate"}
        },
        "required": ["x", "y"],
        "propertyOrdering": ["x", "y"],
        "description": "Corner"
      }
    },
    "required": ["name", "corner"],
    "propertyOrdering": ["name", "active", "count", "big", "ratio", "colour", "level", "tint",
                         "origin", "points", "tags", "corner"]
  })");
  EXPECT_EQ(record::json_schema<Sample>().dump(2), expected.dump(2));
}

TEST(StringEnum, ConvertsOnlyThroughItsValueTexts) {
  EXPECT_EQ(value_text(Colour::DARK_BLUE), "dark_blue");
  EXPECT_EQ(enum_from_text<Colour>("dark_blue"), Colour::DARK_BLUE);
  EXPECT_EQ(enum_from_text<Colour>("DARK_BLUE"), std::nullopt);
  EXPECT_EQ(enum_from_text<Colour>("Dark_blue"), std::nullopt);
  EXPECT_EQ(enum_from_text<Colour>(""), std::nullopt);
  EXPECT_TRUE(Colour::RED == "red");
  EXPECT_TRUE("red" == Colour::RED);
  EXPECT_FALSE(Colour::RED == "RED");
  EXPECT_FALSE(static_cast<Colour>(9) == "red");
  EXPECT_THROW(value_text(static_cast<Colour>(9)), std::invalid_argument);
}

}  // namespace
}  // namespace orvane

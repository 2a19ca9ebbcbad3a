#include "skills/base_skill.hpp"

#include <gtest/gtest.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>

#include "skill_test_support.hpp"
#include "skills/disk_tools.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

using testing::TempDir;

struct DescriptorRow {
  std::string name;
  std::string param_type;
  bool required;
  std::optional<Json> default_value;
  std::optional<std::vector<Json>> enum_values;
  std::string description;
};

void expect_descriptors(const Skill& skill, const std::vector<DescriptorRow>& rows) {
  ASSERT_EQ(skill.parameters.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    const SkillParameter& parameter = skill.parameters[i];
    EXPECT_EQ(parameter.name, rows[i].name);
    EXPECT_EQ(parameter.param_type, rows[i].param_type);
    EXPECT_EQ(parameter.required, rows[i].required);
    EXPECT_EQ(parameter.default_value, rows[i].default_value);
    EXPECT_EQ(parameter.enum_values, rows[i].enum_values);
    EXPECT_EQ(parameter.description, rows[i].description);
  }
}

TEST(SkillDeclarations, ReadFileSkillFieldsAndDescriptors) {
  const ReadFileSkill skill;
  EXPECT_EQ(skill.name, "read_file");
  EXPECT_EQ(skill.description, "Read the contents of a file");
  EXPECT_FALSE(skill.requires_confirmation);
  expect_descriptors(
      skill, {{"path", "string", true, {}, {}, "Path to the file to read"},
              {"start_line", "integer", false, Json(1), {}, "Starting line number (1-based)"},
              {"end_line", "integer", false, {}, {}, "Ending line number (inclusive)"}});
}

TEST(SkillDeclarations, WriteFileSkillFieldsAndDescriptors) {
  const WriteFileSkill skill;
  EXPECT_EQ(skill.name, "write_file");
  EXPECT_EQ(skill.description, "Write content to a file (creates or overwrites)");
  EXPECT_TRUE(skill.requires_confirmation);
  expect_descriptors(
      skill, {{"path", "string", true, {}, {}, "Path to the file to write"},
              {"content", "string", true, {}, {}, "Content to write to the file"},
              {"mode", "string", false, Json("overwrite"), std::vector<Json>{"overwrite", "append"},
               "Write mode: 'overwrite' or 'append'"}});
}

TEST(SkillDeclarations, SearchFilesSkillFieldsAndDescriptors) {
  const SearchFilesSkill skill;
  EXPECT_EQ(skill.name, "search_files");
  EXPECT_EQ(skill.description, "Search for files by glob pattern and optionally by content");
  EXPECT_FALSE(skill.requires_confirmation);
  // The directory descriptor carries no default although execute falls back to ".".
  expect_descriptors(
      skill,
      {{"pattern", "string", true, {}, {}, "Glob pattern to match files (e.g., '**/*.py')"},
       {"content_pattern", "string", false, {}, {}, "Regex pattern to search in file contents"},
       {"directory",
        "string",
        false,
        {},
        {},
        "Directory to search in (default: current directory)"},
       {"max_results", "integer", false, Json(100), {}, "Maximum number of results to return"}});
}

TEST(SkillDeclarations, EachInstanceOwnsItsDescriptorList) {
  ReadFileSkill first;
  const ReadFileSkill second;
  first.parameters.pop_back();
  first.parameters[0].description = "changed";
  EXPECT_EQ(second.parameters.size(), 3U);
  EXPECT_EQ(second.parameters[0].description, "Path to the file to read");
}

TEST(SkillDeclarations, ConstructorArgumentsOverrideDefaults) {
  const WriteFileSkill unconfirmed({.requires_confirmation = false});
  EXPECT_FALSE(unconfirmed.requires_confirmation);
  const ReadFileSkill confirmed({.name = "reader", .requires_confirmation = true});
  EXPECT_TRUE(confirmed.requires_confirmation);
  EXPECT_EQ(confirmed.name, "reader");
  EXPECT_EQ(confirmed.description, "Read the contents of a file");
}

TEST(SkillDeclarations, SandboxIsCreatedWhenAbsentAndKeptWhenGiven) {
  const TempDir dir;
  const testing::ScopedWorkingDirectory cwd(dir.path());
  const SearchFilesSkill defaulted;
  ASSERT_NE(defaulted.sandbox, nullptr);
  EXPECT_EQ(defaulted.sandbox->roots(), std::vector<std::filesystem::path>{dir.path()});

  const auto given = testing::sandbox_at("/");
  const SearchFilesSkill kept({.sandbox = given});
  EXPECT_EQ(kept.sandbox, given);
}

TEST(ValidateArguments, RefusesNonObjectsAndMissingRequiredParameters) {
  const WriteFileSkill skill;
  struct Row {
    Json arguments;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {Json::array({"path"}), "Arguments must be an object"},
      {Json("path"), "Arguments must be an object"},
      {Json(nullptr), "Arguments must be an object"},
      {Json::object(), "Missing required parameter: path"},
      {{{"path", "a.txt"}}, "Missing required parameter: content"},
      // A null value is present; kinds are the skill's business.
      {{{"path", nullptr}, {"content", 3}}, ""},
      {{{"path", "a.txt"}, {"content", ""}, {"extra", 1}}, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(skill.validate_arguments(row.arguments), row.expected) << row.arguments.dump();
  }
}

// A validator refusal must come back unchanged, before any argument is read or any file
// touched; an argument refusal comes first of all.
TEST(SkillFrame, ValidationThenSandboxThenWork) {
  const TempDir dir;
  const TempDir outside;
  const auto sandbox = testing::sandbox_at(dir.path());
  const std::string outside_file = (outside.path() / "x.txt").string();
  const std::string refusal = sandbox->validate_path(outside_file);
  ASSERT_FALSE(refusal.empty());
  EXPECT_EQ(refusal,
            "Access denied: path '" + outside_file + "' is outside the allowed directories");

  const ReadFileSkill reader({.sandbox = sandbox});
  const WriteFileSkill writer({.sandbox = sandbox});
  const SearchFilesSkill searcher({.sandbox = sandbox});

  EXPECT_EQ(testing::summary(reader.execute_now(Json::object())),
            "ERROR|Missing required parameter: path|");
  EXPECT_EQ(testing::summary(writer.execute_now({{"content", "x"}})),
            "ERROR|Missing required parameter: path|");
  EXPECT_EQ(testing::summary(searcher.execute_now({{"directory", "."}})),
            "ERROR|Missing required parameter: pattern|");

  EXPECT_EQ(testing::summary(reader.execute_now({{"path", outside_file}})),
            "DENIED|" + refusal + "|");
  EXPECT_EQ(testing::summary(writer.execute_now({{"path", outside_file}, {"content", "x"}})),
            "DENIED|" + refusal + "|");
  EXPECT_FALSE(std::filesystem::exists(outside_file));
  const std::string outside_dir_refusal = sandbox->validate_path(outside.path().string());
  EXPECT_EQ(testing::summary(
                searcher.execute_now({{"pattern", "*"}, {"directory", outside.path().string()}})),
            "DENIED|" + outside_dir_refusal + "|");
}

TEST(SkillFrame, ExecuteRunsToCompletionOnTheEventLoop) {
  const TempDir dir;
  dir.write("a.txt", "one\n");
  const ReadFileSkill skill({.sandbox = testing::sandbox_at(dir.path())});
  boost::asio::io_context loop;
  auto pending = boost::asio::co_spawn(
      loop, skill.execute({{"path", (dir.path() / "a.txt").string()}}), boost::asio::use_future);
  loop.run();
  const SkillResult result = pending.get();
  EXPECT_EQ(result.status, SkillResultStatus::SUCCESS);
  EXPECT_EQ(result.output, "one\n");
}

}  // namespace
}  // namespace orvane

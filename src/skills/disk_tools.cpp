#include "skills/disk_tools.hpp"

namespace orvane {
namespace {

SkillParameter parameter(std::string name, std::string param_type, bool required,
                         std::string description, std::optional<Json> default_value = {},
                         std::optional<std::vector<Json>> enum_values = {}) {
  return SkillParameter{.name = std::move(name),
                        .description = std::move(description),
                        .param_type = std::move(param_type),
                        .required = required,
                        .default_value = std::move(default_value),
                        .enum_values = std::move(enum_values)};
}

}  // namespace

ReadFileSkill::ReadFileSkill(SkillFields fields)
    : Skill(Defaults{"read_file",
                     "Read the contents of a file",
                     {parameter("path", "string", true, "Path to the file to read"),
                      parameter("start_line", "integer", false, "Starting line number (1-based)",
                                Json(1)),
                      parameter("end_line", "integer", false, "Ending line number (inclusive)")},
                     false},
            std::move(fields)) {}

WriteFileSkill::WriteFileSkill(SkillFields fields)
    : Skill(Defaults{"write_file",
                     "Write content to a file (creates or overwrites)",
                     {parameter("path", "string", true, "Path to the file to write"),
                      parameter("content", "string", true, "Content to write to the file"),
                      parameter("mode", "string", false, "Write mode: 'overwrite' or 'append'",
                                Json("overwrite"),
                                std::vector<Json>{Json("overwrite"), Json("append")})},
                     true},
            std::move(fields)) {}

SearchFilesSkill::SearchFilesSkill(SkillFields fields)
    : Skill(Defaults{"search_files",
                     "Search for files by glob pattern and optionally by content",
                     {parameter("pattern", "string", true,
                                "Glob pattern to match files (e.g., '**/*.py')"),
                      parameter("content_pattern", "string", false,
                                "Regex pattern to search in file contents"),
                      parameter("directory", "string", false,
                                "Directory to search in (default: current directory)"),
                      parameter("max_results", "integer", false,
                                "Maximum number of results to return", Json(100))},
                     false},
            std::move(fields)) {}

}  // namespace orvane

#pragma once
// The texts the per-file agent sends to the model, and the analysis it writes itself for an
// empty file.
//
// Pure functions; values are inserted as they are (no escaping, quoting or trimming). Each
// function that takes the file's text cuts it to its own limit in code points, so a caller
// passes the whole text.

#include <string>
#include <string_view>
#include <vector>

namespace orvane::analysis_prompts {

// Code points of the file shown in the main and the structured prompts, in the code-execution
// prompt, given to the code generator, and of generated code shown in the main prompt.
inline constexpr std::size_t kMainContentLimit = 50'000;
inline constexpr std::size_t kCodeExecutionContentLimit = 30'000;
inline constexpr std::size_t kGeneratorSourceLimit = 5'000;
inline constexpr std::size_t kGeneratedCodeLimit = 2'000;

// What the code generator is asked to concentrate on.
inline constexpr std::string_view kAnalysisFocus =
    "Analyse approfondie de la structure, des dépendances et des patterns";

// One resolved import, for the dependency block.
std::string found_import_line(int line_number, std::string_view import_path,
                              std::string_view rel_dep_path);

// One import that could not be resolved, for the dependency block.
std::string missing_import_line(int line_number, std::string_view import_path);

// The inconsistency recorded for an import that could not be resolved.
std::string missing_import_inconsistency(std::string_view import_path, int line_number);

// The dependency block: found imports, then missing ones, each part only when it has lines;
// empty when both lists are.
std::string dependency_block(const std::vector<std::string>& found_lines,
                             const std::vector<std::string>& missing_lines);

// The block showing generated analysis code (cut to kGeneratedCodeLimit), fenced with the
// lower-cased language name.
std::string generated_code_block(std::string_view language, std::string_view analysis_code);

// The main analysis prompt, which dictates the Markdown headings the agent later cuts apart.
std::string main_analysis_prompt(std::string_view relative_path, std::string_view language,
                                 std::string_view dependencies_info, std::string_view web_docs,
                                 std::string_view generated_code_info, std::string_view content);

// The analysis of an empty file, in the same heading structure as a model's answer.
std::string empty_file_analysis(std::string_view relative_path, std::string_view language);

// The prompt asking for an answer shaped by the structured-analysis schema.
std::string structured_analysis_prompt(std::string_view relative_path, std::string_view language,
                                       std::string_view content);

// The prompt letting the model write and run code about the file for `analysis_task`.
std::string code_execution_prompt(std::string_view relative_path, std::string_view language,
                                  std::string_view analysis_task, std::string_view content);

}  // namespace orvane::analysis_prompts

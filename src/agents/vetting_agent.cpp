#include "agents/vetting_agent.hpp"

#include <array>
#include <utility>

#include "agents/analysis_prompts.hpp"
#include "agents/markdown_sections.hpp"
#include "core/failure_guard.hpp"
#include "core/warnings.hpp"
#include "text/paths.hpp"
#include "text/read_text.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

struct LanguageByExtension {
  std::string_view extension;
  std::string_view language;
};

constexpr std::array<LanguageByExtension, 28> kLanguages = {{
    {".dart", "Dart"},
    {".ts", "TypeScript"},
    {".tsx", "TypeScript (React)"},
    {".js", "JavaScript"},
    {".jsx", "JavaScript (React)"},
    {".py", "Python"},
    {".java", "Java"},
    {".kt", "Kotlin"},
    {".swift", "Swift"},
    {".go", "Go"},
    {".rs", "Rust"},
    {".cpp", "C++"},
    {".c", "C"},
    {".h", "C/C++ Header"},
    {".cs", "C#"},
    {".php", "PHP"},
    {".rb", "Ruby"},
    {".sh", "Shell"},
    {".yaml", "YAML"},
    {".yml", "YAML"},
    {".json", "JSON"},
    {".xml", "XML"},
    {".md", "Markdown"},
    {".sql", "SQL"},
    {".html", "HTML"},
    {".css", "CSS"},
    {".scss", "SCSS"},
    {".sass", "SASS"},
}};

// Words that mark a line of the model's relations section as an inconsistency.
constexpr std::array<std::string_view, 5> kInconsistencyKeywords = {
    "incohérence", "manquant", "introuvable", "incompatible", "erreur"};

std::string read_source(const std::string& file_path) {
  return text::read_text_file(file_path, text::InvalidUtf8::drop);
}

FileAnalysis empty_file_record(const std::string& file_path, const std::string& language,
                               const std::string& relative_path) {
  FileAnalysis record;
  record.file_path = file_path;
  record.language = language;
  record.objective = "Fichier vide";
  record.risks = {"Fichier vide - vérifier si nécessaire"};
  record.suggestions = {"Vérifier la nécessité du fichier", "Compléter le fichier si nécessaire"};
  record.analysis_markdown = analysis_prompts::empty_file_analysis(relative_path, language);
  record.success = true;
  return record;
}

FileAnalysis failure_record(const std::string& file_path, const std::string& message) {
  FileAnalysis record;
  record.file_path = file_path;
  record.language = VettingAgent::detect_language(file_path);
  record.objective = "Erreur lors de l'analyse";
  record.risks = {"Erreur: " + message};
  record.analysis_markdown = "";
  record.success = false;
  record.error = message;
  return record;
}

Json code_execution_failure(const std::string& message) {
  Json failure = Json::object();
  failure["text"] = "Erreur lors de l'analyse: " + message;
  failure["executable_code"] = nullptr;
  failure["code_output"] = nullptr;
  failure["error"] = message;
  return failure;
}

// The lines of the model's relations section that report an inconsistency, trimmed.
void append_reported_inconsistencies(std::string_view relations_section,
                                     std::vector<std::string>& inconsistencies) {
  std::size_t start = 0;
  while (start <= relations_section.size()) {
    std::size_t end = relations_section.find('\n', start);
    if (end == std::string_view::npos) end = relations_section.size();
    const std::string_view line = relations_section.substr(start, end - start);
    start = end + 1;
    const std::string lowered = text::to_lower(line);
    bool reports = false;
    for (const std::string_view keyword : kInconsistencyKeywords) {
      if (lowered.find(keyword) != std::string::npos) {
        reports = true;
        break;
      }
    }
    const std::string_view trimmed = text::trim(line);
    if (reports && !trimmed.empty() && !trimmed.starts_with('#')) {
      inconsistencies.emplace_back(trimmed);
    }
  }
}

// The sections analyze_file cuts from every answer, compiled once: the same patterns as
// _extract_section and _extract_list_items build for these markers.
struct AnswerSections {
  markdown_sections::SectionPattern objective{"Objectif", "Points forts"};
  markdown_sections::SectionPattern strengths{"Points forts", "Relations"};
  markdown_sections::SectionPattern relations{"Relations", "Risques"};
  markdown_sections::SectionPattern strengths_up_to_risks{"Points forts", "Risques"};
  markdown_sections::SectionPattern risks{"Risques", "Suggestions"};
  markdown_sections::SectionPattern suggestions{"Suggestions", std::nullopt};
};

const AnswerSections& answer_sections() {
  static const AnswerSections sections;
  return sections;
}

boost::asio::awaitable<std::string> code_block_from(
    std::shared_ptr<AnalysisCodeGenerator> generator, std::string source, std::string language) {
  const std::optional<std::string> analysis_code = co_await generator->generate_analysis_code(
      std::move(source), language, std::string(analysis_prompts::kAnalysisFocus));
  if (!analysis_code || analysis_code->empty()) co_return std::string();
  co_return analysis_prompts::generated_code_block(language, *analysis_code);
}

}  // namespace

VettingAgent::VettingAgent(AnalysisConfig config,
                           std::shared_ptr<DependencyAnalyzer> dependency_analyzer,
                           std::shared_ptr<DocSearcher> doc_searcher,
                           std::shared_ptr<AnalysisCodeGenerator> probe_writer,
                           std::shared_ptr<ProgressManager> progress_manager)
    : BaseAgent(std::move(config), std::move(progress_manager)),
      dependency_analyzer(std::move(dependency_analyzer)),
      doc_searcher(std::move(doc_searcher)),
      probe_writer(std::move(probe_writer)) {}

VettingAgent::VettingAgent(std::shared_ptr<AIProvider> ai_provider, AnalysisConfig config,
                           std::shared_ptr<DependencyAnalyzer> dependency_analyzer,
                           std::shared_ptr<DocSearcher> doc_searcher,
                           std::shared_ptr<AnalysisCodeGenerator> probe_writer,
                           std::shared_ptr<ProgressManager> progress_manager)
    : BaseAgent(std::move(config), std::move(progress_manager), std::move(ai_provider)),
      dependency_analyzer(std::move(dependency_analyzer)),
      doc_searcher(std::move(doc_searcher)),
      probe_writer(std::move(probe_writer)) {}

std::string VettingAgent::detect_language(std::string_view file_path) {
  std::string_view name = file_path;
  while (!name.empty() && name.back() == '/') name.remove_suffix(1);
  if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos) {
    name.remove_prefix(slash + 1);
  }
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return "Unknown";
  const std::string extension = text::to_lower(name.substr(dot));
  for (const LanguageByExtension& entry : kLanguages) {
    if (entry.extension == extension) return std::string(entry.language);
  }
  return "Unknown";
}

std::string VettingAgent::_extract_section(std::string_view text, std::string_view start_marker,
                                           std::optional<std::string_view> end_marker) {
  return markdown_sections::extract_section(text, start_marker, end_marker);
}

std::vector<std::string> VettingAgent::_extract_list_items(
    std::string_view text, std::string_view start_marker,
    std::optional<std::string_view> end_marker) {
  return markdown_sections::extract_list_items(text, start_marker, end_marker);
}

boost::asio::awaitable<FileAnalysis> VettingAgent::analyze_file(std::string file_path) const {
  // The failure handler borrows from this frame, which outlives the guard. (Handing the guard a
  // lambda that owns a string miscompiles with GCC 12: the capture is destroyed twice.)
  co_return co_await absorb_failures(
      analyze_file_steps(file_path),
      [&file_path](const std::string& message) { return failure_record(file_path, message); });
}

boost::asio::awaitable<FileAnalysis> VettingAgent::analyze_file_steps(std::string file_path) const {
  const std::string content = read_source(file_path);
  if (text::is_blank(content)) {
    const std::string language = detect_language(file_path);
    const std::string relative_path = text::relative_path_text(file_path, config.root_dir);
    co_return empty_file_record(file_path, language, relative_path);
  }
  const std::string language = detect_language(file_path);
  const std::string relative_path = text::relative_path_text(file_path, config.root_dir);

  std::vector<DependencyRecord> dependencies;
  std::string dependencies_info;
  std::vector<std::string> inconsistencies;
  if (dependency_analyzer) {
    dependencies = dependency_analyzer->extract_dependencies(file_path, content, language);
    if (!dependencies.empty()) {
      std::vector<std::string> deps_list;
      std::vector<std::string> missing_deps;
      for (const DependencyRecord& dependency : dependencies) {
        if (dependency.exists && !dependency.resolved_path.empty()) {
          const std::string rel_dep_path =
              text::relative_path_text(dependency.resolved_path, config.root_dir);
          deps_list.push_back(analysis_prompts::found_import_line(
              dependency.line_number, dependency.import_path, rel_dep_path));
        } else {
          missing_deps.push_back(analysis_prompts::missing_import_line(dependency.line_number,
                                                                       dependency.import_path));
          inconsistencies.push_back(analysis_prompts::missing_import_inconsistency(
              dependency.import_path, dependency.line_number));
        }
      }
      dependencies_info = analysis_prompts::dependency_block(deps_list, missing_deps);
    }
  }

  const std::string web_docs =
      co_await documentation_for(language, file_path, content, relative_path);
  const std::string generated_code_info =
      co_await generated_code_for(language, content, relative_path);

  std::string prompt = analysis_prompts::main_analysis_prompt(
      relative_path, language, dependencies_info, web_docs, generated_code_info, content);
  std::string analysis_text = co_await _call_gemini_with_retry(std::move(prompt));

  const AnswerSections& sections = answer_sections();
  std::string objective = sections.objective.extract(analysis_text);
  std::vector<std::string> strengths = sections.strengths.list_items(analysis_text);
  const std::string relations_section = sections.relations.extract(analysis_text);
  if (relations_section.empty()) {
    strengths = sections.strengths_up_to_risks.list_items(analysis_text);
  }
  std::vector<std::string> risks = sections.risks.list_items(analysis_text);
  std::vector<std::string> suggestions = sections.suggestions.list_items(analysis_text);
  if (!relations_section.empty()) {
    append_reported_inconsistencies(relations_section, inconsistencies);
  }

  FileAnalysis record;
  record.file_path = file_path;
  record.language = language;
  record.objective = objective.empty() ? "Non spécifié" : std::move(objective);
  record.strengths = std::move(strengths);
  record.risks = std::move(risks);
  record.suggestions = std::move(suggestions);
  record.analysis_markdown = std::move(analysis_text);
  record.success = true;
  record.dependencies = std::move(dependencies);
  record.inconsistencies = std::move(inconsistencies);
  co_return record;
}

boost::asio::awaitable<std::string> VettingAgent::documentation_for(
    const std::string& language, const std::string& file_path, const std::string& content,
    const std::string& relative_path) const {
  if (!doc_searcher) co_return std::string();
  co_return co_await absorb_failures(
      doc_searcher->search_documentation(language, file_path, content),
      [&relative_path](const std::string& message) {
        warnings::print("Erreur lors de la recherche de documentation pour " + relative_path +
                        ": " + message);
        return std::string();
      });
}

boost::asio::awaitable<std::string> VettingAgent::generated_code_for(
    const std::string& language, const std::string& content,
    const std::string& relative_path) const {
  if (!probe_writer || !config.enable_code_generation) co_return std::string();
  co_return co_await absorb_failures(
      code_block_from(
          probe_writer,
          std::string(text::first_code_points(content, analysis_prompts::kGeneratorSourceLimit)),
          language),
      [&relative_path](const std::string& message) {
        warnings::print("Erreur lors de la génération de code d'analyse pour " + relative_path +
                        ": " + message);
        return std::string();
      });
}

boost::asio::awaitable<std::optional<FileAnalysisResult>> VettingAgent::analyze_file_structured(
    std::string file_path, bool use_thinking) const {
  co_return co_await absorb_failures(
      analyze_file_structured_steps(std::move(file_path), use_thinking),
      [](const std::string&) { return std::optional<FileAnalysisResult>(); });
}

boost::asio::awaitable<std::optional<FileAnalysisResult>>
VettingAgent::analyze_file_structured_steps(std::string file_path, bool use_thinking) const {
  const std::string content = read_source(file_path);
  if (text::is_blank(content)) co_return std::nullopt;
  const std::string language = detect_language(file_path);
  const std::string relative_path = text::relative_path_text(file_path, config.root_dir);
  const std::string prompt =
      analysis_prompts::structured_analysis_prompt(relative_path, language, content);

  if (config.enable_structured_outputs) {
    // A failing structured call is not final: the reasoning may still be shown below.
    std::optional<std::optional<FileAnalysisResult>> structured =
        co_await result_or_absent(_call_ai_structured(prompt));
    if (structured) co_return std::move(*structured);
  }
  if (use_thinking && config.enable_thinking) {
    const auto [answer, reasoning] = co_await _call_ai_with_thinking(prompt);
    if (!reasoning.empty() && progress_manager) {
      progress_manager->print_reasoning(reasoning, config.ai_model);
    }
  }
  co_return std::nullopt;
}

boost::asio::awaitable<std::optional<Json>> VettingAgent::analyze_with_code_execution(
    std::string file_path, std::string analysis_task) const {
  co_return co_await absorb_failures(
      analyze_with_code_execution_steps(std::move(file_path), std::move(analysis_task)),
      [](const std::string& message) {
        return std::optional<Json>(code_execution_failure(message));
      });
}

boost::asio::awaitable<std::optional<Json>> VettingAgent::analyze_with_code_execution_steps(
    std::string file_path, std::string analysis_task) const {
  const std::string content = read_source(file_path);
  const std::string language = detect_language(file_path);
  const std::string relative_path = text::relative_path_text(file_path, config.root_dir);
  std::string prompt =
      analysis_prompts::code_execution_prompt(relative_path, language, analysis_task, content);
  co_return co_await _call_ai_with_code_execution(std::move(prompt));
}

}  // namespace orvane

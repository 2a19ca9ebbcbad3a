#pragma once
// VettingAgent: analyses one source file at a time with the model.
//
// analyze_file asks for a Markdown analysis and cuts it into a FileAnalysis; the structured and
// code-execution entry points pass the model's shaped answers through. Each entry point turns
// every failure into its own result (a failure record, an absent result, an error map) and
// lets a cancellation reach the caller; they suspend only while awaiting a collaborator or the
// model. The collaborators are shared with the host and optional (null when absent); the agent
// reads its members and never writes them, so many analyses may be in flight on one agent on
// one event loop.

#include <boost/asio/awaitable.hpp>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agents/base_agent.hpp"
#include "models/analysis_records.hpp"
#include "models/file_analysis_result.hpp"
#include "models/json_values.hpp"
#include "services/analysis_code_generator.hpp"
#include "services/dependency_analyzer.hpp"
#include "services/doc_searcher.hpp"

namespace orvane {

class VettingAgent : public BaseAgent {
 public:
  // The provider comes from `config` (see BaseAgent); nothing else happens.
  explicit VettingAgent(AnalysisConfig config,
                        std::shared_ptr<DependencyAnalyzer> dependency_analyzer = nullptr,
                        std::shared_ptr<DocSearcher> doc_searcher = nullptr,
                        std::shared_ptr<AnalysisCodeGenerator> probe_writer = nullptr,
                        std::shared_ptr<ProgressManager> progress_manager = nullptr);
  // Same, with a provider of the caller's. REQUIRES: `ai_provider` is not null.
  VettingAgent(std::shared_ptr<AIProvider> ai_provider, AnalysisConfig config,
               std::shared_ptr<DependencyAnalyzer> dependency_analyzer = nullptr,
               std::shared_ptr<DocSearcher> doc_searcher = nullptr,
               std::shared_ptr<AnalysisCodeGenerator> probe_writer = nullptr,
               std::shared_ptr<ProgressManager> progress_manager = nullptr);

  // The display name of the language of `file_path`, from its extension alone; "Unknown" for
  // an extension not in the table (or none). The file is not opened.
  static std::string detect_language(std::string_view file_path);

  // Reads, enriches, asks the model and cuts its answer. A whitespace-only file is answered
  // without any call; a failure gives a record with `success` false and its message in `error`.
  boost::asio::awaitable<FileAnalysis> analyze_file(std::string file_path) const;

  // See markdown_sections::extract_section and extract_list_items.
  static std::string _extract_section(std::string_view text, std::string_view start_marker,
                                      std::optional<std::string_view> end_marker);
  static std::vector<std::string> _extract_list_items(std::string_view text,
                                                      std::string_view start_marker,
                                                      std::optional<std::string_view> end_marker);

  // The structured answer when structured output is enabled and works; otherwise, when
  // `use_thinking` and config.enable_thinking, shows the model's reasoning; absent then and on
  // every failure.
  boost::asio::awaitable<std::optional<FileAnalysisResult>> analyze_file_structured(
      std::string file_path, bool use_thinking = false) const;

  // The provider's code-execution object unchanged (absent when it gave none); on failure an
  // object with "text", "executable_code" (null), "code_output" (null) and "error", in order.
  boost::asio::awaitable<std::optional<Json>> analyze_with_code_execution(
      std::string file_path, std::string analysis_task) const;

  const std::shared_ptr<DependencyAnalyzer> dependency_analyzer;
  const std::shared_ptr<DocSearcher> doc_searcher;
  const std::shared_ptr<AnalysisCodeGenerator> probe_writer;

 private:
  boost::asio::awaitable<FileAnalysis> analyze_file_steps(std::string file_path) const;
  boost::asio::awaitable<std::optional<FileAnalysisResult>> analyze_file_structured_steps(
      std::string file_path, bool use_thinking) const;
  boost::asio::awaitable<std::optional<Json>> analyze_with_code_execution_steps(
      std::string file_path, std::string analysis_task) const;

  boost::asio::awaitable<std::string> documentation_for(const std::string& language,
                                                        const std::string& file_path,
                                                        const std::string& content,
                                                        const std::string& relative_path) const;
  boost::asio::awaitable<std::string> generated_code_for(const std::string& language,
                                                         const std::string& content,
                                                         const std::string& relative_path) const;
};

}  // namespace orvane

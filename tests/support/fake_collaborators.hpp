#pragma once
// Recording fakes of the agent's collaborators: dependency analyzer, documentation searcher,
// code generator and progress display.
//
// Each records its calls with their arguments; when `call_order` is set, each call also
// appends its name there (shared with FakeAIProvider, it shows the order across fakes). A
// non-empty `failure` makes a call throw std::runtime_error(failure) after recording it.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agents/progress_manager.hpp"
#include "services/analysis_code_generator.hpp"
#include "services/dependency_analyzer.hpp"
#include "services/doc_searcher.hpp"

namespace orvane::testing {

using CallOrder = std::shared_ptr<std::vector<std::string>>;

class FakeDependencyAnalyzer : public DependencyAnalyzer {
 public:
  struct Call {
    std::string file_path;
    std::string content;
    std::string language;
  };

  std::vector<DependencyRecord> extract_dependencies(const std::string& file_path,
                                                     const std::string& content,
                                                     const std::string& language) const override;
  DependentsByDepth get_dependents(const std::string& file_path, int max_depth) const override;

  std::vector<DependencyRecord> records;
  std::string failure;
  CallOrder call_order;
  mutable std::vector<Call> calls;
};

class FakeDocSearcher : public DocSearcher {
 public:
  struct Call {
    std::string language;
    std::string file_path;
    std::string content;
  };

  boost::asio::awaitable<std::string> search_documentation(std::string language,
                                                           std::string file_path,
                                                           std::string content) override;

  std::string documentation;
  std::string failure;
  CallOrder call_order;
  std::vector<Call> calls;
};

class FakeCodeGenerator : public AnalysisCodeGenerator {
 public:
  struct Call {
    std::string original_code;
    std::string language;
    std::string analysis_focus;
  };

  boost::asio::awaitable<std::optional<std::string>> generate_analysis_code(
      std::string original_code, std::string language, std::string analysis_focus) override;

  std::optional<std::string> code;
  std::string failure;
  // When positive, each call first waits this long on a timer (cancellable).
  std::chrono::steady_clock::duration delay{};
  CallOrder call_order;
  std::vector<Call> calls;
};

class FakeProgressManager : public ProgressManager {
 public:
  struct Call {
    std::string reasoning;
    std::string model;
  };

  void print_reasoning(const std::string& reasoning, const std::string& model) override;

  std::string failure;
  std::vector<Call> calls;
};

}  // namespace orvane::testing

#pragma once
// BaseAgent: what every agent holds (the configuration and the optional progress display) and
// its four ways of calling the model.
//
// The model calls suspend while the provider works and throw its failures unchanged; a
// cancelled call propagates the cancellation. They read the agent and never write it, so
// several calls may be in flight at once. The agent shares the provider (tests inject their
// own through the second constructor).

#include <boost/asio/awaitable.hpp>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "agents/progress_manager.hpp"
#include "core/config.hpp"
#include "host/providers/ai_provider.hpp"
#include "models/file_analysis_result.hpp"
#include "models/json_values.hpp"

namespace orvane {

class BaseAgent {
 public:
  // Makes the provider named by `config.ai_provider` with create_ai_provider (the configured
  // key, model, time-out, retries and endpoint); throws what the factory throws.
  BaseAgent(AnalysisConfig config, std::shared_ptr<ProgressManager> progress_manager);
  // REQUIRES: `ai_provider` is not null.
  BaseAgent(AnalysisConfig config, std::shared_ptr<ProgressManager> progress_manager,
            std::shared_ptr<AIProvider> ai_provider);
  virtual ~BaseAgent() = default;

  const AnalysisConfig config;
  const std::shared_ptr<ProgressManager> progress_manager;  // may be null

 protected:
  // The model's answer to `prompt`, with the provider's retries.
  boost::asio::awaitable<std::string> _call_gemini_with_retry(std::string prompt) const;

  // (answer, reasoning); the reasoning may be empty.
  boost::asio::awaitable<std::pair<std::string, std::string>> _call_ai_with_thinking(
      std::string prompt) const;

  // The answer held to FileAnalysisResult's schema, or absent when the model gave none (a JSON
  // null). An answer that does not fit the schema throws ValidationError.
  boost::asio::awaitable<std::optional<FileAnalysisResult>> _call_ai_structured(
      std::string prompt) const;

  // The provider's code-execution object ("text", "executable_code", "code_output", maybe
  // "error") unchanged, or absent for a JSON null; an answer that is not an object throws
  // std::runtime_error.
  boost::asio::awaitable<std::optional<Json>> _call_ai_with_code_execution(
      std::string prompt) const;

 private:
  std::shared_ptr<AIProvider> ai_provider_;
};

}  // namespace orvane

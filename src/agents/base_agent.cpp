#include "agents/base_agent.hpp"

#include <stdexcept>

#include "host/providers/provider_factory.hpp"

namespace orvane {
namespace {

std::shared_ptr<AIProvider> provider_from(const AnalysisConfig& config) {
  return create_ai_provider(config.ai_provider, config.ai_api_key, config.ai_model,
                            config.timeout_seconds, config.max_retries,
                            ProviderEndpoint{config.ai_base_url, config.ai_ca_file});
}

}  // namespace

BaseAgent::BaseAgent(AnalysisConfig config, std::shared_ptr<ProgressManager> progress_manager)
    : BaseAgent(config, std::move(progress_manager), provider_from(config)) {}

BaseAgent::BaseAgent(AnalysisConfig config, std::shared_ptr<ProgressManager> progress_manager,
                     std::shared_ptr<AIProvider> ai_provider)
    : config(std::move(config)),
      progress_manager(std::move(progress_manager)),
      ai_provider_(std::move(ai_provider)) {
  if (!ai_provider_) throw std::invalid_argument("ai_provider: a provider is required");
}

boost::asio::awaitable<std::string> BaseAgent::_call_gemini_with_retry(std::string prompt) const {
  co_return co_await ai_provider_->generate_content_with_retry(std::move(prompt));
}

boost::asio::awaitable<std::pair<std::string, std::string>> BaseAgent::_call_ai_with_thinking(
    std::string prompt) const {
  ThinkingAnswer answer = co_await ai_provider_->generate_with_thinking(std::move(prompt));
  co_return std::pair{std::move(answer.answer), std::move(answer.reasoning)};
}

boost::asio::awaitable<std::optional<FileAnalysisResult>> BaseAgent::_call_ai_structured(
    std::string prompt) const {
  const Json answer = co_await ai_provider_->generate_structured(
      std::move(prompt), record::json_schema<FileAnalysisResult>());
  if (answer.is_null()) co_return std::nullopt;
  co_return record::from_json<FileAnalysisResult>(answer);
}

boost::asio::awaitable<std::optional<Json>> BaseAgent::_call_ai_with_code_execution(
    std::string prompt) const {
  Json answer = co_await ai_provider_->generate_with_code_execution(std::move(prompt));
  if (answer.is_null()) co_return std::nullopt;
  if (!answer.is_object()) {
    throw std::runtime_error("la réponse de l'exécution de code n'est pas un objet JSON");
  }
  co_return answer;
}

}  // namespace orvane

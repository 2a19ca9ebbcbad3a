#include "host/providers/gemini_provider.hpp"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "host/providers/gemini_connection.hpp"
#include "host/providers/gemini_url.hpp"

namespace orvane {
namespace {

namespace asio = boost::asio;
using gemini::CallKind;

double validated_timeout(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0)
    throw std::invalid_argument("timeout_seconds: must be a positive number of seconds");
  return seconds;
}

std::string attempts_text(int attempts) {
  return attempts > 1 ? " (" + std::to_string(attempts) + " tentatives)" : std::string();
}

}  // namespace

GeminiProvider::GeminiProvider(GeminiSettings settings)
    : api_key_(std::move(settings.api_key)),
      timeout_seconds_(validated_timeout(settings.timeout_seconds)),
      timeout_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::duration<double>(timeout_seconds_))),
      retry_(settings.retry),
      random_(std::random_device{}()) {
  const auto url = gemini::parse_base_url(
      settings.base_url.empty() ? gemini::kDefaultBaseUrl : std::string_view(settings.base_url));
  target_ = gemini::generate_content_target(url.path_prefix,
                                            gemini::validated_model_name(settings.model));
  pool_ = std::make_unique<gemini::ConnectionPool>(url, settings.ca_file);
}

GeminiProvider::~GeminiProvider() = default;

std::string GeminiProvider::scrubbed(std::string message) const {
  // Real keys are long; scrubbing a short test value would garble the message.
  if (api_key_.size() < 6) return message;
  for (auto found = message.find(api_key_); found != std::string::npos;
       found = message.find(api_key_, found))
    message.replace(found, api_key_.size(), "***");
  return message;
}

std::string GeminiProvider::seconds_text() const {
  std::ostringstream text;
  text << timeout_seconds_;
  return text.str();
}

std::string GeminiProvider::timeout_text() const {
  return "Gemini n'a pas répondu dans le délai de " + seconds_text() + " s";
}

asio::awaitable<gemini::ModelAnswer> GeminiProvider::call(CallKind kind, std::string prompt,
                                                          Json schema) {
  if (api_key_.empty())
    throw std::runtime_error(
        "Aucune clé d'API Gemini n'est configurée : donnez-la dans la configuration (ai_api_key)");
  const auto deadline = std::chrono::steady_clock::now() + timeout_;
  const gemini::HttpRequest request{target_,
                                    {{"x-goog-api-key", api_key_}},
                                    gemini::build_request_body(kind, prompt, schema).dump()};
  const int max_retries = std::max(retry_.max_retries, 0);
  for (int attempt = 0;; ++attempt) {
    std::string failure;
    bool retryable = false;
    std::optional<std::chrono::milliseconds> server_delay;
    try {
      const auto response = co_await pool_->exchange(request, deadline);
      if (response.status >= 200 && response.status < 300) {
        auto answer = gemini::parse_answer(response.body);
        gemini::require_usable(answer, kind);
        co_return answer;
      }
      const auto error = gemini::parse_api_error(response.status, response.reason, response.body,
                                                 response.retry_after);
      failure = error.message;
      retryable = gemini::is_retryable_status(error.http_status, error.per_day_quota);
      server_delay = error.retry_delay;
    } catch (const gemini::TransportError& error) {
      failure = error.what();
      retryable = error.retryable();
    } catch (const gemini::DeadlineReached&) {
      throw std::runtime_error(timeout_text() + attempts_text(attempt + 1));
    } catch (const gemini::AnswerError& error) {
      throw gemini::AnswerError(scrubbed(error.what()));
    }
    if (!retryable || attempt >= max_retries)
      throw std::runtime_error(scrubbed(failure + attempts_text(attempt + 1)));
    const auto delay = gemini::backoff_delay(
        retry_, attempt, std::uniform_real_distribution<double>(0.0, 1.0)(random_), server_delay);
    if (std::chrono::steady_clock::now() + delay >= deadline)
      throw std::runtime_error(scrubbed(failure + attempts_text(attempt + 1) + " ; le délai de " +
                                        seconds_text() + " s ne laisse pas le temps de réessayer"));
    asio::steady_timer pause(co_await asio::this_coro::executor, delay);
    co_await pause.async_wait(asio::use_awaitable);
  }
}

asio::awaitable<std::string> GeminiProvider::generate_content_with_retry(std::string prompt) {
  auto answer = co_await call(CallKind::plain, std::move(prompt), Json());
  co_return std::move(answer.text);
}

asio::awaitable<ThinkingAnswer> GeminiProvider::generate_with_thinking(std::string prompt) {
  auto answer = co_await call(CallKind::thinking, std::move(prompt), Json());
  co_return ThinkingAnswer{std::move(answer.text), std::move(answer.thoughts)};
}

asio::awaitable<Json> GeminiProvider::generate_structured(std::string prompt, Json schema) {
  const auto answer = co_await call(CallKind::structured, std::move(prompt), std::move(schema));
  try {
    co_return gemini::parse_structured_text(answer.text);
  } catch (const gemini::AnswerError& error) {
    throw gemini::AnswerError(scrubbed(error.what()));
  }
}

asio::awaitable<Json> GeminiProvider::generate_with_code_execution(std::string prompt) {
  const auto answer = co_await call(CallKind::code_execution, std::move(prompt), Json());
  co_return gemini::code_execution_map(answer);
}

}  // namespace orvane

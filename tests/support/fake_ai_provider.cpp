#include "support/fake_ai_provider.hpp"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <stdexcept>

namespace orvane::testing {
namespace {

[[noreturn]] void unscripted(const std::string& operation) {
  throw std::runtime_error("no answer scripted for " + operation);
}

}  // namespace

std::shared_ptr<FakeAIProvider> FakeAIProvider::answering(std::string answer) {
  auto provider = std::make_shared<FakeAIProvider>();
  provider->text_answer = [answer = std::move(answer)](const std::string&) { return answer; };
  return provider;
}

std::shared_ptr<FakeAIProvider> FakeAIProvider::failing(std::string message) {
  auto provider = std::make_shared<FakeAIProvider>();
  const auto fail = [message]() -> std::runtime_error { return std::runtime_error(message); };
  provider->text_answer = [fail](const std::string&) -> std::string { throw fail(); };
  provider->thinking_answer = [fail](const std::string&) -> ThinkingAnswer { throw fail(); };
  provider->structured_answer = [fail](const std::string&, const Json&) -> Json { throw fail(); };
  provider->code_execution_answer = [fail](const std::string&) -> Json { throw fail(); };
  return provider;
}

boost::asio::awaitable<void> FakeAIProvider::record_and_wait(std::string operation,
                                                             const std::string& prompt,
                                                             Json schema) {
  if (call_order) call_order->push_back("model." + operation);
  calls.push_back(Call{std::move(operation), prompt, std::move(schema)});
  if (delay > std::chrono::steady_clock::duration::zero()) {
    boost::asio::steady_timer timer(co_await boost::asio::this_coro::executor, delay);
    co_await timer.async_wait(boost::asio::use_awaitable);
  }
}

boost::asio::awaitable<std::string> FakeAIProvider::generate_content_with_retry(
    std::string prompt) {
  co_await record_and_wait("generate_content_with_retry", prompt, nullptr);
  if (!text_answer) unscripted("generate_content_with_retry");
  co_return text_answer(prompt);
}

boost::asio::awaitable<ThinkingAnswer> FakeAIProvider::generate_with_thinking(std::string prompt) {
  co_await record_and_wait("generate_with_thinking", prompt, nullptr);
  if (!thinking_answer) unscripted("generate_with_thinking");
  co_return thinking_answer(prompt);
}

boost::asio::awaitable<Json> FakeAIProvider::generate_structured(std::string prompt, Json schema) {
  co_await record_and_wait("generate_structured", prompt, schema);
  if (!structured_answer) unscripted("generate_structured");
  co_return structured_answer(prompt, schema);
}

boost::asio::awaitable<Json> FakeAIProvider::generate_with_code_execution(std::string prompt) {
  co_await record_and_wait("generate_with_code_execution", prompt, nullptr);
  if (!code_execution_answer) unscripted("generate_with_code_execution");
  co_return code_execution_answer(prompt);
}

std::vector<std::string> FakeAIProvider::prompts() const {
  std::vector<std::string> result;
  for (const Call& call : calls) result.push_back(call.prompt);
  return result;
}

}  // namespace orvane::testing

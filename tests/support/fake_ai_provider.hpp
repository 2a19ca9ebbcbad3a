#pragma once
// FakeAIProvider: a scripted model for tests.
//
// Every call is recorded (operation and prompt) before anything else happens. A call then
// waits `delay` on a timer of the caller's executor when it is positive (a cancelled wait
// throws operation_aborted, as a real provider would), and finally runs the responder of its
// operation: the responder's result is the answer and an exception it throws is the failure.
// With no responder set, a call fails with "no answer scripted for <operation>".

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/providers/ai_provider.hpp"

namespace orvane::testing {

class FakeAIProvider : public AIProvider {
 public:
  struct Call {
    std::string operation;  // "generate_content_with_retry", "generate_with_thinking", ...
    std::string prompt;
    Json schema;  // the structured call's schema; null for the others
  };

  // A provider whose plain generation answers `answer`.
  static std::shared_ptr<FakeAIProvider> answering(std::string answer);
  // A provider every call of which fails with std::runtime_error(`message`).
  static std::shared_ptr<FakeAIProvider> failing(std::string message);

  boost::asio::awaitable<std::string> generate_content_with_retry(std::string prompt) override;
  boost::asio::awaitable<ThinkingAnswer> generate_with_thinking(std::string prompt) override;
  boost::asio::awaitable<Json> generate_structured(std::string prompt, Json schema) override;
  boost::asio::awaitable<Json> generate_with_code_execution(std::string prompt) override;

  // Prompts of the recorded calls, in order.
  std::vector<std::string> prompts() const;

  std::function<std::string(const std::string& prompt)> text_answer;
  std::function<ThinkingAnswer(const std::string& prompt)> thinking_answer;
  std::function<Json(const std::string& prompt, const Json& schema)> structured_answer;
  std::function<Json(const std::string& prompt)> code_execution_answer;
  std::chrono::steady_clock::duration delay{};
  // Shared with other fakes to check the order of calls across collaborators.
  std::shared_ptr<std::vector<std::string>> call_order;

  std::vector<Call> calls;

 private:
  boost::asio::awaitable<void> record_and_wait(std::string operation, const std::string& prompt,
                                               Json schema);
};

}  // namespace orvane::testing

#pragma once
// AIProvider: the one way the agent, the code generator and the tests reach a model.
//
// Every call is a coroutine on the caller's executor; it suspends while the model works and
// throws on failure (after the provider's own retries) with a plain message a user can act on.
// A cancelled call propagates the cancellation. Implementations must allow several calls in
// flight at once on one provider.

#include <boost/asio/awaitable.hpp>
#include <string>

#include "models/json_values.hpp"

namespace orvane {

struct ThinkingAnswer {
  std::string answer;
  // The model's reasoning; may be empty.
  std::string reasoning;
};

class AIProvider {
 public:
  virtual ~AIProvider() = default;

  // Plain generation: the answer's text.
  virtual boost::asio::awaitable<std::string> generate_content_with_retry(std::string prompt) = 0;

  // Generation with the model's reasoning returned beside the answer.
  virtual boost::asio::awaitable<ThinkingAnswer> generate_with_thinking(std::string prompt) = 0;

  // Structured output: the model is held to `schema` (a JSON schema); the parsed JSON answer.
  virtual boost::asio::awaitable<Json> generate_structured(std::string prompt, Json schema) = 0;

  // Generation with code execution: an object with "text", "executable_code", "code_output"
  // (and "error" when the model's code failed).
  virtual boost::asio::awaitable<Json> generate_with_code_execution(std::string prompt) = 0;
};

}  // namespace orvane

#pragma once
// OfflineProvider: a provider for runs without a model; every call throws std::runtime_error
// saying so, without suspending on anything.

#include "host/providers/ai_provider.hpp"

namespace orvane {

class OfflineProvider final : public AIProvider {
 public:
  boost::asio::awaitable<std::string> generate_content_with_retry(std::string prompt) override;
  boost::asio::awaitable<ThinkingAnswer> generate_with_thinking(std::string prompt) override;
  boost::asio::awaitable<Json> generate_structured(std::string prompt, Json schema) override;
  boost::asio::awaitable<Json> generate_with_code_execution(std::string prompt) override;
};

}  // namespace orvane

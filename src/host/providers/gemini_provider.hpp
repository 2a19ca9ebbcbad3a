#pragma once
// GeminiProvider: the four model calls over Gemini's REST API (v1beta generateContent).
//
// The key travels in the x-goog-api-key header only and is scrubbed from every message (keys
// shorter than 6 characters excepted). Failed
// attempts are retried as retry_policy.hpp says; the whole call, waits included, ends within
// `timeout_seconds` (else std::runtime_error saying so). Other failures are std::runtime_error
// with a French message: the HTTP status with Gemini's status and message, a blocked prompt, an
// answer stopped with no text, a malformed body. Cancellation closes the connection and
// propagates as boost::system::system_error(operation_aborted).
//
// Calls suspend on the caller's executor and may overlap (see gemini_connection.hpp). The
// provider must outlive its calls; use it from one thread (or a strand).

#include <chrono>
#include <memory>
#include <random>
#include <string>

#include "host/providers/ai_provider.hpp"
#include "host/providers/gemini_request.hpp"
#include "host/providers/gemini_response.hpp"
#include "host/providers/retry_policy.hpp"

namespace orvane::gemini {
class ConnectionPool;
}

namespace orvane {

struct GeminiSettings {
  std::string api_key;
  std::string model;
  double timeout_seconds = 120.0;
  gemini::RetrySettings retry;
  // Empty for Gemini's own endpoint (see gemini_url.hpp for what else is accepted).
  std::string base_url;
  // Empty for the system's certificate store.
  std::string ca_file;
};

class GeminiProvider final : public AIProvider {
 public:
  // Throws std::invalid_argument naming the setting for an invalid model id, base URL, CA file
  // or a time-out that is not a positive number. An empty key is accepted here; every call then
  // fails saying that no key is configured. Connects to nothing.
  explicit GeminiProvider(GeminiSettings settings);
  ~GeminiProvider() override;

  boost::asio::awaitable<std::string> generate_content_with_retry(std::string prompt) override;
  boost::asio::awaitable<ThinkingAnswer> generate_with_thinking(std::string prompt) override;
  boost::asio::awaitable<Json> generate_structured(std::string prompt, Json schema) override;
  boost::asio::awaitable<Json> generate_with_code_execution(std::string prompt) override;

 private:
  boost::asio::awaitable<gemini::ModelAnswer> call(gemini::CallKind kind, std::string prompt,
                                                   Json schema);
  std::string scrubbed(std::string message) const;
  std::string seconds_text() const;
  std::string timeout_text() const;

  std::string api_key_;
  std::string target_;
  double timeout_seconds_;
  std::chrono::steady_clock::duration timeout_;
  gemini::RetrySettings retry_;
  std::unique_ptr<gemini::ConnectionPool> pool_;
  std::mt19937_64 random_;
};

}  // namespace orvane

#pragma once
// Reading generateContent answers and error bodies. Pure.
//
// Messages are French and meant for the user; they never contain the request (so never the
// key). Unknown enum strings and unknown fields are accepted.

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/providers/gemini_request.hpp"
#include "models/json_values.hpp"

namespace orvane::gemini {

// A failure the server's answer makes certain; another attempt would get the same.
class AnswerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The parts of the first candidate, sorted by kind.
struct ModelAnswer {
  std::string text;      // the text parts that are not thoughts, joined
  std::string thoughts;  // the thought parts' text, joined
  std::string code;      // executableCode parts, one block per part
  std::string code_output;
  std::string code_error;  // set when a codeExecutionResult's outcome is not OUTCOME_OK
  bool ran_code = false;
  std::string finish_reason;
};

// Throws AnswerError when the body is not a JSON answer, when the prompt was blocked
// (promptFeedback.blockReason) or when there is no candidate.
ModelAnswer parse_answer(std::string_view body);

// Throws AnswerError when `answer` has nothing `kind` can use: no text (and, for code execution,
// no code either) after a stop such as MAX_TOKENS or SAFETY; a structured answer cut by
// MAX_TOKENS. Otherwise returns normally.
void require_usable(const ModelAnswer& answer, CallKind kind);

// The JSON text of a structured answer, parsed; throws AnswerError when it is not JSON.
Json parse_structured_text(std::string_view text);

// The code-execution map: "text", "executable_code", "code_output", and "error" when the run
// failed.
Json code_execution_map(const ModelAnswer& answer);

// A non-2xx answer.
struct ApiError {
  unsigned http_status = 0;
  std::string status;   // error.status, e.g. "RESOURCE_EXHAUSTED"; may be empty
  std::string message;  // the user-facing description (HTTP status, status, error.message)
  // The least wait the server asks for: RetryInfo.retryDelay, else the Retry-After seconds.
  std::optional<std::chrono::milliseconds> retry_delay;
  bool per_day_quota = false;  // a QuotaFailure on a per-day quota: waiting will not help
};

ApiError parse_api_error(unsigned http_status, std::string_view reason, std::string_view body,
                         std::string_view retry_after_header);

// A protobuf Duration text ("10s", "0.25s"); nullopt when it is not one.
std::optional<std::chrono::milliseconds> parse_duration(std::string_view text);

// At most `limit` code points of `bytes` (repaired as UTF-8), for quoting bodies in messages.
std::string excerpt(std::string_view bytes, std::size_t limit = 200);

}  // namespace orvane::gemini

#pragma once
// When a failed model call is tried again, and after how long. Pure.
//
// Retried: HTTP 408, 429, 500, 502, 503, 504 and connection failures; never another status, nor
// a 429 on a per-day quota. The wait before retry n (0-based) is drawn uniformly from
// [0, min(max_delay, initial_delay * 2^n)] ("full jitter"), and is never shorter than the wait
// the server asked for.

#include <chrono>
#include <optional>

namespace orvane::gemini {

struct RetrySettings {
  int max_retries = 3;  // attempts after the first; negative counts as 0
  std::chrono::milliseconds initial_delay{1000};
  std::chrono::milliseconds max_delay{60000};
};

bool is_retryable_status(unsigned http_status, bool per_day_quota);

// REQUIRES: 0 <= uniform01 <= 1 (the random draw), retry_index >= 0.
std::chrono::milliseconds backoff_delay(const RetrySettings& settings, int retry_index,
                                        double uniform01,
                                        std::optional<std::chrono::milliseconds> server_delay);

}  // namespace orvane::gemini

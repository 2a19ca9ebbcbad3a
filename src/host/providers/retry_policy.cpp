#include "host/providers/retry_policy.hpp"

#include <algorithm>
#include <cmath>

namespace orvane::gemini {

bool is_retryable_status(unsigned http_status, bool per_day_quota) {
  switch (http_status) {
    case 429:
      return !per_day_quota;
    case 408:
    case 500:
    case 502:
    case 503:
    case 504:
      return true;
    default:
      return false;
  }
}

std::chrono::milliseconds backoff_delay(const RetrySettings& settings, int retry_index,
                                        double uniform01,
                                        std::optional<std::chrono::milliseconds> server_delay) {
  const double initial =
      static_cast<double>(std::max<std::int64_t>(settings.initial_delay.count(), 0));
  const double cap = static_cast<double>(std::max<std::int64_t>(settings.max_delay.count(), 0));
  // Clamp the exponent so 2^n stays finite whatever the retry count.
  const double ceiling = std::min(cap, initial * std::exp2(std::min(retry_index, 60)));
  const auto drawn = std::chrono::milliseconds(
      static_cast<std::int64_t>(std::llround(ceiling * std::clamp(uniform01, 0.0, 1.0))));
  return server_delay ? std::max(drawn, *server_delay) : drawn;
}

}  // namespace orvane::gemini

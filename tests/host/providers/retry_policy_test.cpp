#include "host/providers/retry_policy.hpp"

#include <gtest/gtest.h>

namespace orvane::gemini {
namespace {

using std::chrono::milliseconds;

TEST(RetryPolicy, RetriesTransientStatusesOnly) {
  for (const unsigned status : {408u, 429u, 500u, 502u, 503u, 504u})
    EXPECT_TRUE(is_retryable_status(status, false)) << status;
  for (const unsigned status : {400u, 401u, 403u, 404u, 409u, 501u, 200u})
    EXPECT_FALSE(is_retryable_status(status, false)) << status;
  EXPECT_FALSE(is_retryable_status(429, true));
}

TEST(RetryPolicy, DrawsFullJitterUnderADoublingCappedCeiling) {
  const RetrySettings settings{
      .max_retries = 10, .initial_delay = milliseconds(100), .max_delay = milliseconds(1000)};
  struct Case {
    int retry;
    double draw;
    milliseconds expected;
  };
  const Case cases[] = {
      {0, 1.0, milliseconds(100)}, {1, 1.0, milliseconds(200)},  {2, 0.5, milliseconds(200)},
      {3, 1.0, milliseconds(800)}, {4, 1.0, milliseconds(1000)}, {500, 1.0, milliseconds(1000)},
      {3, 0.0, milliseconds(0)},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.retry);
    EXPECT_EQ(backoff_delay(settings, test.retry, test.draw, std::nullopt), test.expected);
  }
}

TEST(RetryPolicy, NeverWaitsLessThanTheServerAsks) {
  const RetrySettings settings{.initial_delay = milliseconds(100), .max_delay = milliseconds(400)};
  EXPECT_EQ(backoff_delay(settings, 0, 1.0, milliseconds(5000)), milliseconds(5000));
  EXPECT_EQ(backoff_delay(settings, 2, 1.0, milliseconds(10)), milliseconds(400));
}

}  // namespace
}  // namespace orvane::gemini

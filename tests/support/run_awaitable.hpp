#pragma once
// Runs one coroutine on `io` until it completes and returns its result (or rethrows), while
// servers sharing `io` keep running. run_until steps the loop until a condition holds. Both
// give up after `limit` (a test that hangs fails instead), throwing std::runtime_error.

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>
#include <chrono>
#include <future>
#include <stdexcept>

namespace orvane::testing {

template <typename Condition>
void run_until(boost::asio::io_context& io, Condition condition,
               std::chrono::seconds limit = std::chrono::seconds(20)) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > give_up)
      throw std::runtime_error("run_until: the condition did not come true in time");
    io.run_one_for(std::chrono::milliseconds(20));
  }
}

template <typename T>
T run_awaitable(boost::asio::io_context& io, boost::asio::awaitable<T> task,
                std::chrono::seconds limit = std::chrono::seconds(20)) {
  auto future = boost::asio::co_spawn(io, std::move(task), boost::asio::use_future);
  run_until(
      io, [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
      limit);
  return future.get();
}

}  // namespace orvane::testing

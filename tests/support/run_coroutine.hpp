#pragma once
// Running one awaitable to completion on a fresh io_context, for tests that need no
// concurrency: its result is returned and its exception rethrown.

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>
#include <utility>

namespace orvane::testing {

template <typename T>
T run_to_completion(boost::asio::awaitable<T> work) {
  boost::asio::io_context context;
  auto result = boost::asio::co_spawn(context, std::move(work), boost::asio::use_future);
  context.run();
  return result.get();
}

}  // namespace orvane::testing

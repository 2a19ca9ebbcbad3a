#pragma once
// absorb_failures: runs an awaitable and turns its failure into a result, but never a
// cancellation.
//
// The analysis entry points and the optional enrichment steps all absorb failures the same
// way: a std::exception becomes `on_failure(message)`, with `message` its plain what() text; a
// cancellation (see is_cancellation) and anything that is not a std::exception reach the
// caller unchanged. Suspends while `work` does. Both arguments are taken by value so that the
// guard owns what it runs; `on_failure` should capture only references (into the awaiting
// frame), because GCC 12 destroys a coroutine argument's owning lambda captures twice.

#include <boost/asio/awaitable.hpp>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "core/cancellation.hpp"

namespace orvane {

template <typename T, typename OnFailure>
boost::asio::awaitable<T> absorb_failures(boost::asio::awaitable<T> work, OnFailure on_failure) {
  std::string message;
  try {
    co_return co_await std::move(work);
  } catch (const std::exception& error) {
    if (is_cancellation(error)) throw;
    message = error.what();
  }
  co_return on_failure(std::move(message));
}

namespace failure_guard_detail {
template <typename T>
boost::asio::awaitable<std::optional<T>> as_optional(boost::asio::awaitable<T> work) {
  co_return std::optional<T>(co_await std::move(work));
}
}  // namespace failure_guard_detail

// The result of `work`, or absent when it failed; a cancellation still propagates.
template <typename T>
boost::asio::awaitable<std::optional<T>> result_or_absent(boost::asio::awaitable<T> work) {
  return absorb_failures(failure_guard_detail::as_optional(std::move(work)),
                         [](const std::string&) { return std::optional<T>(); });
}

}  // namespace orvane

#pragma once
// Telling a cancellation apart from a failure.
//
// The analysis entry points turn failures into results but must let a cancellation through to
// their caller. An Asio operation that is cancelled completes with operation_aborted, which a
// coroutine sees as boost::system::system_error; this is the one place that decides.

#include <boost/asio/error.hpp>
#include <boost/system/system_error.hpp>
#include <exception>

namespace orvane {

inline bool is_cancellation(const std::exception& error) {
  const auto* system_error = dynamic_cast<const boost::system::system_error*>(&error);
  return system_error != nullptr && system_error->code() == boost::asio::error::operation_aborted;
}

}  // namespace orvane

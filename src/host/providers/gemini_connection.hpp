#pragma once
// HTTP/1.1 exchanges with the Gemini endpoint over TLS (or plain TCP to a loopback test server).
//
// ConnectionPool keeps one idle keep-alive connection and reuses it; a call that finds it busy
// opens an extra connection for itself, which is closed afterwards unless the idle slot is free.
// So sequential calls share one connection and concurrent calls never wait for each other.
// Certificates are checked against the system's store or the configured CA file, with the host
// name checked and sent by SNI. Name resolution, connection, handshake, write and read all run
// on the caller's executor; no thread is started.
//
// Thread-safety: the pool is used from one executor run by one thread (or a strand). It must
// outlive every exchange in flight.

#include <boost/asio/awaitable.hpp>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/providers/gemini_url.hpp"

namespace orvane::gemini {

struct HttpRequest {
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

struct HttpResponse {
  unsigned status = 0;
  std::string reason;
  std::string retry_after;
  std::string body;
};

// The connection failed before a whole response arrived. `retryable` is false for failures
// another attempt cannot mend (a refused certificate).
class TransportError : public std::runtime_error {
 public:
  TransportError(const std::string& message, bool retryable)
      : std::runtime_error(message), retryable_(retryable) {}
  bool retryable() const { return retryable_; }

 private:
  bool retryable_;
};

// The deadline passed before the response was complete.
class DeadlineReached : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ConnectionPool {
 public:
  // Throws std::invalid_argument naming `ca_file` when that file cannot be loaded. Connects to
  // nothing.
  ConnectionPool(BaseUrl url, const std::string& ca_file);
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;
  ~ConnectionPool();

  // POSTs `request` and suspends until the whole response has arrived (any status). Adds Host,
  // Content-Type and User-Agent. A reused connection that the server had closed is replaced
  // once, at no cost to the caller. Throws TransportError, DeadlineReached at `deadline`, and
  // boost::system::system_error(operation_aborted) when cancelled; in each case the connection
  // is closed at once and not reused.
  boost::asio::awaitable<HttpResponse> exchange(HttpRequest request,
                                                std::chrono::steady_clock::time_point deadline);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::gemini

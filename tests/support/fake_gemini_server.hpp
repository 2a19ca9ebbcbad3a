#pragma once
// FakeGeminiServer: a scripted HTTP/1.1 server on 127.0.0.1 (a free port) standing in for the
// Gemini endpoint, plain or over TLS.
//
// It runs as coroutines on the executor it is given, so a test drives client and server with
// one io_context. Each request is recorded and answered with the next scripted reply (or the
// default reply once the script is used up). Keep-alive is honoured. Destroying the server
// closes its acceptor and every connection; pending coroutines finish with the io_context.

#include <boost/asio/any_io_executor.hpp>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "models/json_values.hpp"

namespace orvane::testing {

namespace detail {
struct FakeServerState;
}

struct ScriptedReply {
  enum class Kind {
    answer,            // status, headers and body
    never_answer,      // read the request, then keep the connection silent
    reset_mid_answer,  // send the headers and part of the body, then reset the connection
  };
  Kind kind = Kind::answer;
  unsigned status = 200;
  std::vector<std::pair<std::string, std::string>> headers = {};
  std::string body = {};
  // Close the connection right after answering, without announcing it (an idle time-out).
  bool close_after_answer = false;
};

// A 200 reply with one candidate holding `parts` and `finish_reason`.
ScriptedReply answer_reply(Json parts, std::string finish_reason = "STOP");
// A 200 reply whose one candidate is a single text part.
ScriptedReply text_reply(std::string text);
// An error reply in Gemini's form: {"error": {"code", "message", "status", "details"}}.
ScriptedReply error_reply(unsigned status, std::string api_status, std::string message,
                          Json details = Json::array());

struct RecordedRequest {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::chrono::steady_clock::time_point received_at;

  // The value of header `name` (case-insensitive), empty when missing.
  std::string header(std::string_view name) const;
  Json json() const;
  // The text of the first part of the first turn.
  std::string prompt() const;
};

// A self-signed certificate and its private key, PEM.
struct TlsIdentity {
  std::string certificate_pem;
  std::string private_key_pem;
};
// Made now, valid for an hour, for the DNS name (or IP address) `host`.
TlsIdentity make_self_signed_identity(const std::string& host);

class FakeGeminiServer {
 public:
  explicit FakeGeminiServer(boost::asio::any_io_executor executor,
                            std::optional<TlsIdentity> tls = std::nullopt);
  FakeGeminiServer(const FakeGeminiServer&) = delete;
  FakeGeminiServer& operator=(const FakeGeminiServer&) = delete;
  ~FakeGeminiServer();

  unsigned short port() const;
  // "http://127.0.0.1:<port>", or "https://localhost:<port>" with TLS.
  std::string base_url() const;

  void script(ScriptedReply reply);
  // How requests are answered once the script is used up (by default: text "ok").
  void set_responder(std::function<ScriptedReply(const RecordedRequest&)> responder);

  const std::vector<RecordedRequest>& requests() const;
  std::size_t connections_accepted() const;
  // Connections the client closed while the server held them open (never_answer included).
  std::size_t connections_closed_by_client() const;

 private:
  std::shared_ptr<detail::FakeServerState> state_;
};

}  // namespace orvane::testing

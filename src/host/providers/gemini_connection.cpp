#include "host/providers/gemini_connection.hpp"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/experimental/awaitable_operators.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <optional>

namespace orvane::gemini {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
namespace ssl = boost::asio::ssl;
using asio::ip::tcp;
using boost::system::error_code;

constexpr std::uint64_t kBodyLimit = 64u * 1024u * 1024u;

bool is_ip_literal(const std::string& host) {
  error_code ec;
  asio::ip::make_address(host, ec);
  return !ec;
}

// What one exchange on one connection gave; never an exception, so that the watchdog racing
// it is cancelled as soon as it ends.
struct Outcome {
  std::optional<HttpResponse> response;
  std::string failure;
  bool retryable = true;
  // The server had closed the (reused) connection before answering anything.
  bool stale = false;
  std::exception_ptr exception;
};

class Connection {
 public:
  Connection(asio::any_io_executor executor, ssl::context& context, const BaseUrl& url)
      : executor_(executor), url_(url), resolver_(executor), stream_(executor, context) {}

  const asio::any_io_executor& executor() const { return executor_; }
  bool is_open() const { return stream_.next_layer().is_open(); }
  bool keep_alive() const { return keep_alive_; }

  // Stops whatever is pending: the resolver and every socket operation complete at once.
  void close() {
    resolver_.cancel();
    error_code ignored;
    stream_.next_layer().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.next_layer().close(ignored);
  }

  asio::awaitable<Outcome> round_trip(const HttpRequest& request) {
    Outcome outcome;
    try {
      const bool reused = is_open();
      if (!reused && !co_await open(outcome)) co_return outcome;
      co_await send_and_receive(request, reused, outcome);
    } catch (...) {
      outcome.exception = std::current_exception();
    }
    co_return outcome;
  }

 private:
  std::string where() const { return url_.host + ":" + url_.port; }

  asio::awaitable<bool> open(Outcome& outcome) {
    error_code ec;
    const auto endpoints = co_await resolver_.async_resolve(
        url_.host, url_.port, asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      outcome.failure = "Impossible de trouver l'adresse de " + url_.host + " : " + ec.message();
      co_return false;
    }
    co_await asio::async_connect(stream_.next_layer(), endpoints,
                                 asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      outcome.failure = "Impossible de se connecter à " + where() + " : " + ec.message();
      co_return false;
    }
    stream_.next_layer().set_option(tcp::no_delay(true), ec);
    if (!url_.tls) co_return true;

    if (!is_ip_literal(url_.host) &&
        SSL_set_tlsext_host_name(stream_.native_handle(), url_.host.c_str()) != 1) {
      outcome.failure = "Impossible de préparer la connexion TLS à " + url_.host;
      co_return false;
    }
    stream_.set_verify_mode(ssl::verify_peer);
    stream_.set_verify_callback([this](bool preverified, ssl::verify_context& context) {
      return verify_certificate(preverified, context);
    });
    co_await stream_.async_handshake(ssl::stream_base::client,
                                     asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      outcome.retryable = certificate_refusal_.empty();
      outcome.failure = "La connexion TLS à " + where() + " a échoué : " +
                        (certificate_refusal_.empty() ? ec.message() : certificate_refusal_);
      close();
      co_return false;
    }
    co_return true;
  }

  // The chain check of OpenSSL, then the host name; remembers why a certificate was refused.
  bool verify_certificate(bool preverified, ssl::verify_context& context) {
    if (!preverified) {
      const int error = X509_STORE_CTX_get_error(context.native_handle());
      certificate_refusal_ =
          std::string("certificat refusé (") + X509_verify_cert_error_string(error) + ")";
      return false;
    }
    if (!ssl::host_name_verification(url_.host)(preverified, context)) {
      certificate_refusal_ = "le certificat n'est pas celui de " + url_.host;
      return false;
    }
    return true;
  }

  template <typename Stream>
  asio::awaitable<void> exchange_on(Stream& stream, http::request<http::string_body>& message,
                                    bool reused, Outcome& outcome) {
    error_code ec;
    co_await http::async_write(stream, message, asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      outcome.stale = reused;
      outcome.failure =
          "La connexion à " + where() + " a été coupée pendant l'envoi : " + ec.message();
      co_return;
    }
    http::response_parser<http::string_body> parser;
    parser.body_limit(kBodyLimit);
    co_await http::async_read(stream, buffer_, parser,
                              asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      outcome.stale = reused && !parser.got_some() &&
                      (ec == http::error::end_of_stream || ec == asio::error::connection_reset ||
                       ec == asio::error::eof);
      outcome.failure = "La connexion à " + where() +
                        " a été coupée avant la fin de la réponse : " + ec.message();
      co_return;
    }
    auto& response = parser.get();
    keep_alive_ = response.keep_alive();
    HttpResponse result;
    result.status = response.result_int();
    result.reason = std::string(response.reason());
    if (const auto found = response.find(http::field::retry_after); found != response.end())
      result.retry_after = std::string(found->value());
    result.body = std::move(response.body());
    outcome.response = std::move(result);
  }

  asio::awaitable<void> send_and_receive(const HttpRequest& request, bool reused,
                                         Outcome& outcome) {
    http::request<http::string_body> message{http::verb::post, request.target, 11};
    message.set(http::field::host, url_.host_header());
    message.set(http::field::user_agent, "orvane/0.1");
    message.set(http::field::content_type, "application/json");
    for (const auto& [name, value] : request.headers) message.set(name, value);
    message.keep_alive(true);
    message.body() = request.body;
    message.prepare_payload();
    buffer_.clear();
    if (url_.tls) {
      co_await exchange_on(stream_, message, reused, outcome);
    } else {
      co_await exchange_on(stream_.next_layer(), message, reused, outcome);
    }
  }

  asio::any_io_executor executor_;
  const BaseUrl& url_;
  tcp::resolver resolver_;
  ssl::stream<tcp::socket> stream_;
  boost::beast::flat_buffer buffer_;
  std::string certificate_refusal_;
  bool keep_alive_ = false;
};

struct RaceState {
  bool finished = false;
  bool timed_out = false;
  bool cancelled = false;
};

asio::awaitable<Outcome> run_exchange(Connection& connection, const HttpRequest& request,
                                      RaceState& state) {
  auto outcome = co_await connection.round_trip(request);
  state.finished = true;
  co_return outcome;
}

// Ends with the deadline or with a cancellation, and then closes the connection so that the
// exchange racing it ends too; does nothing once the exchange has finished.
asio::awaitable<void> watch(Connection& connection, asio::steady_timer& timer, RaceState& state) {
  error_code ec;
  co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ec));
  if (state.finished) co_return;
  (ec ? state.cancelled : state.timed_out) = true;
  connection.close();
}

asio::awaitable<Outcome> exchange_before(Connection& connection, const HttpRequest& request,
                                         std::chrono::steady_clock::time_point deadline) {
  using namespace asio::experimental::awaitable_operators;
  asio::steady_timer timer(connection.executor(), deadline);
  RaceState state;
  auto winner =
      co_await (run_exchange(connection, request, state) || watch(connection, timer, state));
  // The exchange may notice a cancellation before the watchdog does.
  const auto cancellation = co_await asio::this_coro::cancellation_state;
  if (state.cancelled || cancellation.cancelled() != asio::cancellation_type::none)
    throw boost::system::system_error(asio::error::operation_aborted);
  if (state.timed_out || winner.index() != 0)
    throw DeadlineReached("Gemini n'a pas répondu dans le délai imparti");
  co_return std::get<0>(std::move(winner));
}

}  // namespace

struct ConnectionPool::Impl {
  Impl(BaseUrl base_url, const std::string& ca_file)
      : url(std::move(base_url)), context(ssl::context::tls_client) {
    if (!url.tls) return;
    SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION);
    error_code ec;
    if (ca_file.empty()) {
      context.set_default_verify_paths(ec);
    } else {
      context.load_verify_file(ca_file, ec);
    }
    if (ec)
      throw std::invalid_argument(
          "ca_file: cannot load the certificate authorities" +
          (ca_file.empty() ? std::string(" of the system") : " from \"" + ca_file + "\"") + ": " +
          ec.message());
  }

  std::unique_ptr<Connection> acquire(const asio::any_io_executor& executor) {
    if (idle && idle->is_open() && idle->executor() == executor) return std::move(idle);
    idle.reset();
    return std::make_unique<Connection>(executor, context, url);
  }

  void release(std::unique_ptr<Connection> connection) {
    if (!idle && connection->is_open() && connection->keep_alive()) idle = std::move(connection);
  }

  const BaseUrl url;
  ssl::context context;
  std::unique_ptr<Connection> idle;
};

ConnectionPool::ConnectionPool(BaseUrl url, const std::string& ca_file)
    : impl_(std::make_unique<Impl>(std::move(url), ca_file)) {}

ConnectionPool::~ConnectionPool() = default;

asio::awaitable<HttpResponse> ConnectionPool::exchange(
    HttpRequest request, std::chrono::steady_clock::time_point deadline) {
  auto connection = impl_->acquire(co_await asio::this_coro::executor);
  auto outcome = co_await exchange_before(*connection, request, deadline);
  if (outcome.stale) {
    connection = impl_->acquire(connection->executor());
    outcome = co_await exchange_before(*connection, request, deadline);
  }
  if (outcome.exception) std::rethrow_exception(outcome.exception);
  if (!outcome.response) throw TransportError(outcome.failure, outcome.retryable);
  auto response = std::move(*outcome.response);
  impl_->release(std::move(connection));
  co_return response;
}

}  // namespace orvane::gemini

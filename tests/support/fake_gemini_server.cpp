// A relative include: the benchmark of the provider compiles this file in.
#include "fake_gemini_server.hpp"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <array>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <deque>
#include <functional>
#include <stdexcept>

#include "text/unicode.hpp"

namespace orvane::testing {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
namespace ssl = boost::asio::ssl;
using asio::ip::tcp;
using boost::system::error_code;

template <typename T, void (*Free)(T*)>
struct OpenSslDeleter {
  void operator()(T* pointer) const { Free(pointer); }
};
template <typename T, void (*Free)(T*)>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<T, Free>>;

void require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("making the test certificate: ") + what);
}

std::string bio_text(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(size));
}

bool is_ip_address(const std::string& host) {
  error_code ec;
  asio::ip::make_address(host, ec);
  return !ec;
}

}  // namespace

TlsIdentity make_self_signed_identity(const std::string& host) {
  OpenSslPtr<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
  require(key != nullptr, "key");
  OpenSslPtr<X509, X509_free> certificate(X509_new());
  require(certificate != nullptr, "certificate");
  X509_set_version(certificate.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -60);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 3600);
  require(X509_set_pubkey(certificate.get(), key.get()) == 1, "public key");
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1, 0);
  X509_set_issuer_name(certificate.get(), name);
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate.get(), certificate.get(), nullptr, nullptr, 0);
  const std::string alt_name = (is_ip_address(host) ? "IP:" : "DNS:") + host;
  OpenSslPtr<X509_EXTENSION, X509_EXTENSION_free> extension(
      X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, alt_name.c_str()));
  require(extension != nullptr, "subjectAltName");
  X509_add_ext(certificate.get(), extension.get(), -1);
  require(X509_sign(certificate.get(), key.get(), EVP_sha256()) > 0, "signature");

  OpenSslPtr<BIO, BIO_free_all> certificate_bio(BIO_new(BIO_s_mem()));
  OpenSslPtr<BIO, BIO_free_all> key_bio(BIO_new(BIO_s_mem()));
  require(PEM_write_bio_X509(certificate_bio.get(), certificate.get()) == 1, "PEM certificate");
  require(PEM_write_bio_PrivateKey(key_bio.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                   nullptr) == 1,
          "PEM key");
  return TlsIdentity{bio_text(certificate_bio.get()), bio_text(key_bio.get())};
}

ScriptedReply answer_reply(Json parts, std::string finish_reason) {
  Json candidate{{"content", Json{{"role", "model"}, {"parts", std::move(parts)}}},
                 {"finishReason", std::move(finish_reason)},
                 {"index", 0}};
  Json body{{"candidates", Json::array({std::move(candidate)})},
            {"usageMetadata", Json{{"promptTokenCount", 3}, {"totalTokenCount", 9}}},
            {"modelVersion", "fake"}};
  return ScriptedReply{.status = 200, .body = body.dump()};
}

ScriptedReply text_reply(std::string text) {
  return answer_reply(Json::array({Json{{"text", std::move(text)}}}));
}

ScriptedReply error_reply(unsigned status, std::string api_status, std::string message,
                          Json details) {
  Json body{{"error", Json{{"code", status},
                           {"message", std::move(message)},
                           {"status", std::move(api_status)},
                           {"details", std::move(details)}}}};
  return ScriptedReply{.status = status, .body = body.dump()};
}

std::string RecordedRequest::header(std::string_view name) const {
  const auto wanted = text::to_lower(name);
  for (const auto& [key, value] : headers)
    if (text::to_lower(key) == wanted) return value;
  return {};
}

Json RecordedRequest::json() const {
  return Json::parse(body);
}

std::string RecordedRequest::prompt() const {
  return json().at("contents").at(0).at("parts").at(0).at("text").get<std::string>();
}

namespace detail {

struct FakeServerState {
  explicit FakeServerState(asio::any_io_executor executor) : acceptor(executor) {}

  ScriptedReply next_reply(const RecordedRequest& request) {
    if (script.empty()) return responder ? responder(request) : text_reply("ok");
    auto reply = std::move(script.front());
    script.pop_front();
    return reply;
  }

  tcp::acceptor acceptor;
  std::optional<ssl::context> tls;
  std::deque<ScriptedReply> script;
  std::function<ScriptedReply(const RecordedRequest&)> responder;
  std::vector<RecordedRequest> requests;
  std::vector<std::function<void()>> closers;
  std::size_t accepted = 0;
  std::size_t closed_by_client = 0;
};

}  // namespace detail

namespace {

using State = detail::FakeServerState;

template <typename Stream>
asio::awaitable<void> wait_for_client_to_close(State& state, Stream& stream) {
  std::array<char, 512> scratch;
  error_code ec;
  while (!ec)
    co_await stream.async_read_some(asio::buffer(scratch),
                                    asio::redirect_error(asio::use_awaitable, ec));
  ++state.closed_by_client;
}

template <typename Stream>
asio::awaitable<void> reset_mid_answer(Stream& stream) {
  const std::string partial =
      "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 1000\r\n\r\n"
      "{\"candidates\": [";
  error_code ec;
  co_await asio::async_write(stream, asio::buffer(partial),
                             asio::redirect_error(asio::use_awaitable, ec));
  auto& socket = boost::beast::get_lowest_layer(stream);
  socket.set_option(asio::socket_base::linger(true, 0), ec);
  socket.close(ec);
}

template <typename Stream>
asio::awaitable<void> serve(std::shared_ptr<State> state, Stream& stream) {
  boost::beast::flat_buffer buffer;
  for (;;) {
    http::request<http::string_body> request;
    error_code ec;
    co_await http::async_read(stream, buffer, request,
                              asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      if (ec == http::error::end_of_stream || ec == asio::error::eof ||
          ec == asio::error::connection_reset || ec == ssl::error::stream_truncated)
        ++state->closed_by_client;
      co_return;
    }
    RecordedRequest recorded{.method = std::string(request.method_string()),
                             .target = std::string(request.target()),
                             .headers = {},
                             .body = request.body(),
                             .received_at = std::chrono::steady_clock::now()};
    for (const auto& field : request)
      recorded.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    state->requests.push_back(recorded);

    auto reply = state->next_reply(recorded);
    if (reply.kind == ScriptedReply::Kind::never_answer) {
      co_await wait_for_client_to_close(*state, stream);
      co_return;
    }
    if (reply.kind == ScriptedReply::Kind::reset_mid_answer) {
      co_await reset_mid_answer(stream);
      co_return;
    }
    http::response<http::string_body> response{static_cast<http::status>(reply.status), 11};
    response.set(http::field::content_type, "application/json; charset=UTF-8");
    for (const auto& [name, value] : reply.headers) response.set(name, value);
    response.keep_alive(request.keep_alive());
    response.body() = std::move(reply.body);
    response.prepare_payload();
    co_await http::async_write(stream, response, asio::redirect_error(asio::use_awaitable, ec));
    if (ec || !response.keep_alive() || reply.close_after_answer) co_return;
  }
}

asio::awaitable<void> serve_plain(std::shared_ptr<State> state,
                                  std::shared_ptr<tcp::socket> socket) {
  co_await serve(state, *socket);
  error_code ignored;
  socket->shutdown(tcp::socket::shutdown_both, ignored);
}

asio::awaitable<void> serve_tls(std::shared_ptr<State> state,
                                std::shared_ptr<ssl::stream<tcp::socket>> stream) {
  error_code ec;
  co_await stream->async_handshake(ssl::stream_base::server,
                                   asio::redirect_error(asio::use_awaitable, ec));
  if (!ec) co_await serve(state, *stream);
}

template <typename Pointer>
std::function<void()> closer_of(const Pointer& stream) {
  return [weak = std::weak_ptr(stream)] {
    if (const auto alive = weak.lock()) {
      error_code ignored;
      boost::beast::get_lowest_layer(*alive).close(ignored);
    }
  };
}

asio::awaitable<void> accept_loop(std::shared_ptr<State> state) {
  for (;;) {
    tcp::socket socket(state->acceptor.get_executor());
    error_code ec;
    co_await state->acceptor.async_accept(socket, asio::redirect_error(asio::use_awaitable, ec));
    if (ec) co_return;
    ++state->accepted;
    const auto executor = state->acceptor.get_executor();
    if (state->tls) {
      auto stream = std::make_shared<ssl::stream<tcp::socket>>(std::move(socket), *state->tls);
      state->closers.push_back(closer_of(stream));
      asio::co_spawn(executor, serve_tls(state, stream), asio::detached);
    } else {
      auto plain = std::make_shared<tcp::socket>(std::move(socket));
      state->closers.push_back(closer_of(plain));
      asio::co_spawn(executor, serve_plain(state, plain), asio::detached);
    }
  }
}

}  // namespace

FakeGeminiServer::FakeGeminiServer(asio::any_io_executor executor, std::optional<TlsIdentity> tls)
    : state_(std::make_shared<detail::FakeServerState>(executor)) {
  if (tls) {
    auto& context = state_->tls.emplace(ssl::context::tls_server);
    context.use_certificate_chain(asio::buffer(tls->certificate_pem));
    context.use_private_key(asio::buffer(tls->private_key_pem), ssl::context::pem);
  }
  const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
  state_->acceptor.open(endpoint.protocol());
  state_->acceptor.set_option(tcp::acceptor::reuse_address(true));
  state_->acceptor.bind(endpoint);
  state_->acceptor.listen();
  asio::co_spawn(executor, accept_loop(state_), asio::detached);
}

FakeGeminiServer::~FakeGeminiServer() {
  error_code ignored;
  state_->acceptor.close(ignored);
  for (const auto& close : state_->closers) close();
}

unsigned short FakeGeminiServer::port() const {
  return state_->acceptor.local_endpoint().port();
}

std::string FakeGeminiServer::base_url() const {
  return (state_->tls ? "https://localhost:" : "http://127.0.0.1:") + std::to_string(port());
}

void FakeGeminiServer::script(ScriptedReply reply) {
  state_->script.push_back(std::move(reply));
}

void FakeGeminiServer::set_responder(
    std::function<ScriptedReply(const RecordedRequest&)> responder) {
  state_->responder = std::move(responder);
}

const std::vector<RecordedRequest>& FakeGeminiServer::requests() const {
  return state_->requests;
}

std::size_t FakeGeminiServer::connections_accepted() const {
  return state_->accepted;
}

std::size_t FakeGeminiServer::connections_closed_by_client() const {
  return state_->closed_by_client;
}

}  // namespace orvane::testing

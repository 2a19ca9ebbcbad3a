#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>

#include "host/providers/gemini_provider.hpp"
#include "support/fake_gemini_server.hpp"
#include "support/run_awaitable.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

using orvane::testing::FakeGeminiServer;
using orvane::testing::make_self_signed_identity;

GeminiSettings settings_for(const FakeGeminiServer& server, const std::string& ca_file) {
  GeminiSettings settings;
  settings.api_key = "tls-key";
  settings.model = "gemini-test";
  settings.timeout_seconds = 5;
  settings.retry = {.max_retries = 3,
                    .initial_delay = std::chrono::milliseconds(5),
                    .max_delay = std::chrono::milliseconds(20)};
  settings.base_url = server.base_url();
  settings.ca_file = ca_file;
  return settings;
}

TEST(GeminiTls, TalksToAServerWhoseCertificateTheCaFileTrusts) {
  boost::asio::io_context io;
  const orvane::testing::TempDir directory;
  const auto identity = make_self_signed_identity("localhost");
  FakeGeminiServer server(io.get_executor(), identity);
  GeminiProvider provider(
      settings_for(server, directory.write("ca.pem", identity.certificate_pem).string()));
  EXPECT_EQ(orvane::testing::run_awaitable(io, provider.generate_content_with_retry("p")), "ok");
  EXPECT_EQ(orvane::testing::run_awaitable(io, provider.generate_content_with_retry("p")), "ok");
  EXPECT_EQ(server.connections_accepted(), 1u);
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(server.requests()[0].header("x-goog-api-key"), "tls-key");
  EXPECT_EQ(server.requests()[0].header("host"), "localhost:" + std::to_string(server.port()));
}

TEST(GeminiTls, RefusesCertificatesItCannotTrustWithoutRetrying) {
  const std::string other_identity = make_self_signed_identity("localhost").certificate_pem;
  struct Case {
    std::string name;
    std::string served_for;
    bool trust_served;  // else the CA file holds an unrelated certificate
    std::string reason;
  };
  const Case cases[] = {
      {"a certificate for another host", "other.example", true,
       "le certificat n'est pas celui de localhost"},
      {"an unknown authority", "localhost", false, "certificat refusé (self-signed certificate)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    boost::asio::io_context io;
    const orvane::testing::TempDir directory;
    const auto identity = make_self_signed_identity(test.served_for);
    FakeGeminiServer server(io.get_executor(), identity);
    const auto ca_file =
        directory.write("ca.pem", test.trust_served ? identity.certificate_pem : other_identity);
    GeminiProvider provider(settings_for(server, ca_file.string()));
    try {
      orvane::testing::run_awaitable(io, provider.generate_content_with_retry("p"));
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()),
                "La connexion TLS à localhost:" + std::to_string(server.port()) +
                    " a échoué : " + test.reason);
    }
    EXPECT_EQ(server.connections_accepted(), 1u);
    EXPECT_TRUE(server.requests().empty());
  }
}

}  // namespace
}  // namespace orvane

#include "host/providers/gemini_provider.hpp"

#include <gtest/gtest.h>

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>
#include <boost/system/system_error.hpp>

#include "core/cancellation.hpp"
#include "host/providers/provider_factory.hpp"
#include "support/fake_gemini_server.hpp"
#include "support/run_awaitable.hpp"

namespace orvane {
namespace {

namespace asio = boost::asio;
using orvane::testing::FakeGeminiServer;
using orvane::testing::ScriptedReply;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr const char* kKey = "test-key-5f3a";

Json retry_info(std::string delay) {
  return Json::array(
      {Json{{"@type", "type.googleapis.com/google.rpc.RetryInfo"}, {"retryDelay", delay}}});
}

Json daily_quota() {
  return Json::array(
      {Json{{"@type", "type.googleapis.com/google.rpc.QuotaFailure"},
            {"violations", Json::array({Json{{"quotaId", "GenerateRequestsPerDayPerProject"}}})}}});
}

ScriptedReply never_answer() {
  return ScriptedReply{.kind = ScriptedReply::Kind::never_answer};
}
ScriptedReply reset_mid_answer() {
  return ScriptedReply{.kind = ScriptedReply::Kind::reset_mid_answer};
}

class GeminiProviderTest : public ::testing::Test {
 protected:
  GeminiSettings settings() const {
    GeminiSettings settings;
    settings.api_key = kKey;
    settings.model = "gemini-test";
    settings.timeout_seconds = 5;
    settings.retry = {
        .max_retries = 3, .initial_delay = milliseconds(5), .max_delay = milliseconds(20)};
    settings.base_url = server.base_url();
    return settings;
  }

  template <typename T>
  T run(asio::awaitable<T> task) {
    return orvane::testing::run_awaitable(io, std::move(task));
  }

  // The message of the failure `task` ends with ("no failure" when it succeeds).
  template <typename T>
  std::string failure_of(asio::awaitable<T> task) {
    try {
      run(std::move(task));
    } catch (const std::exception& error) {
      return error.what();
    }
    return "no failure";
  }

  asio::io_context io;
  FakeGeminiServer server{io.get_executor()};
};

TEST_F(GeminiProviderTest, PlainCallSendsThePromptWithTheKeyInAHeader) {
  GeminiProvider provider(settings());
  server.script(orvane::testing::answer_reply(Json::array({
      Json{{"text", "Je pense d'abord."}, {"thought", true}},
      Json{{"text", "## Objectif\n"}},
      Json{{"text", "Résumer le fichier."}},
  })));
  EXPECT_EQ(run(provider.generate_content_with_retry("Analyse « ceci »")),
            "## Objectif\nRésumer le fichier.");

  ASSERT_EQ(server.requests().size(), 1u);
  const auto& request = server.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/v1beta/models/gemini-test:generateContent");
  EXPECT_EQ(request.header("x-goog-api-key"), kKey);
  EXPECT_EQ(request.header("content-type"), "application/json");
  EXPECT_EQ(request.header("host"), "127.0.0.1:" + std::to_string(server.port()));
  const auto body = request.json();
  EXPECT_EQ(
      body.dump(),
      Json({{"contents",
             Json::array({Json{{"role", "user"},
                               {"parts", Json::array({Json{{"text", "Analyse « ceci »"}}})}}})}})
          .dump());
}

TEST_F(GeminiProviderTest, ThinkingAsksForThoughtsAndReturnsThemBesideTheAnswer) {
  GeminiProvider provider(settings());
  server.script(orvane::testing::answer_reply(Json::array({
      Json{{"text", "Le fichier lit "}, {"thought", true}},
      Json{{"text", "sa configuration."}, {"thought", true}},
      Json{{"text", "Réponse."}},
  })));
  server.script(orvane::testing::text_reply("Sans pensées."));
  const auto first = run(provider.generate_with_thinking("p"));
  EXPECT_EQ(first.answer, "Réponse.");
  EXPECT_EQ(first.reasoning, "Le fichier lit sa configuration.");
  const auto second = run(provider.generate_with_thinking("p"));
  EXPECT_EQ(second.answer, "Sans pensées.");
  EXPECT_EQ(second.reasoning, "");

  const auto body = server.requests().at(0).json();
  EXPECT_EQ(body["generationConfig"].dump(), R"({"thinkingConfig":{"includeThoughts":true}})");
  EXPECT_FALSE(body.contains("tools"));
}

TEST_F(GeminiProviderTest, StructuredCallSendsTheSchemaAndParsesTheAnswer) {
  GeminiProvider provider(settings());
  const Json schema{{"type", "object"},
                    {"properties", Json{{"objective", Json{{"type", "string"}}}}},
                    {"required", Json::array({"objective"})}};
  server.script(orvane::testing::text_reply(R"({"objective": "Lire la configuration"})"));
  server.script(orvane::testing::text_reply("Voici l'analyse : objectif..."));
  EXPECT_EQ(run(provider.generate_structured("p", schema)),
            Json({{"objective", "Lire la configuration"}}));
  const auto failure = failure_of(provider.generate_structured("p", schema));
  EXPECT_TRUE(failure.starts_with("La réponse structurée de Gemini n'est pas du JSON valide"))
      << failure;
  EXPECT_EQ(server.requests().size(), 2u) << "a non-JSON answer is not retried";

  const auto config = server.requests().at(0).json()["generationConfig"];
  EXPECT_EQ(config["responseMimeType"], "application/json");
  EXPECT_EQ(config["responseJsonSchema"], schema);
}

TEST_F(GeminiProviderTest, CodeExecutionEnablesTheToolAndMapsItsParts) {
  GeminiProvider provider(settings());
  server.script(orvane::testing::answer_reply(Json::array({
      Json{{"text", "Je mesure."}},
      Json{{"executableCode", Json{{"language", "PYTHON"}, {"code", "print(len('abc'))"}}}},
      Json{{"codeExecutionResult", Json{{"outcome", "OUTCOME_OK"}, {"output", "3\n"}}}},
  })));
  EXPECT_EQ(run(provider.generate_with_code_execution("p")),
            Json({{"text", "Je mesure."},
                  {"executable_code", "print(len('abc'))"},
                  {"code_output", "3\n"}}));
  const auto body = server.requests().at(0).json();
  EXPECT_EQ(body["tools"].dump(), R"([{"codeExecution":{}}])");
  EXPECT_FALSE(body.contains("generationConfig"));
}

struct RetryCase {
  std::string name;
  std::vector<ScriptedReply> replies;
  std::size_t attempts;
  std::string failure;  // empty: the call returns "ok"
};

TEST_F(GeminiProviderTest, RetriesTransientFailuresOnly) {
  const RetryCase cases[] = {
      {"503 twice then success",
       {orvane::testing::error_reply(503, "UNAVAILABLE", "overloaded"),
        orvane::testing::error_reply(503, "UNAVAILABLE", "overloaded"),
        orvane::testing::text_reply("ok")},
       3,
       ""},
      {"a reset mid-answer then success",
       {reset_mid_answer(), orvane::testing::text_reply("ok")},
       2,
       ""},
      {"400",
       {orvane::testing::error_reply(400, "INVALID_ARGUMENT", "API key not valid.")},
       1,
       "Gemini a répondu HTTP 400 INVALID_ARGUMENT : API key not valid."},
      {"403",
       {orvane::testing::error_reply(403, "PERMISSION_DENIED", "Permission denied.")},
       1,
       "Gemini a répondu HTTP 403 PERMISSION_DENIED : Permission denied."},
      {"404",
       {orvane::testing::error_reply(404, "NOT_FOUND", "models/x is not found.")},
       1,
       "Gemini a répondu HTTP 404 NOT_FOUND : models/x is not found."},
      {"per-day quota 429",
       {orvane::testing::error_reply(429, "RESOURCE_EXHAUSTED", "Quota exceeded.", daily_quota())},
       1,
       "Gemini a répondu HTTP 429 RESOURCE_EXHAUSTED : Quota exceeded. (quota journalier épuisé : "
       "réessayez demain ou changez de formule)"},
      {"500 every time",
       {orvane::testing::error_reply(500, "INTERNAL", "boom"),
        orvane::testing::error_reply(500, "INTERNAL", "boom"),
        orvane::testing::error_reply(500, "INTERNAL", "boom"),
        orvane::testing::error_reply(500, "INTERNAL", "boom")},
       4,
       "Gemini a répondu HTTP 500 INTERNAL : boom (4 tentatives)"},
      {"a body that is not JSON",
       {ScriptedReply{.status = 200, .body = "<html>oops</html>"}},
       1,
       "La réponse de Gemini n'est pas du JSON valide : « <html>oops</html> »"},
      {"an answer cut with no text",
       {orvane::testing::answer_reply(Json::array(), "MAX_TOKENS")},
       1,
       "Gemini n'a renvoyé aucun texte (finishReason : MAX_TOKENS)"},
      {"a blocked prompt",
       {ScriptedReply{.status = 200, .body = R"({"promptFeedback":{"blockReason":"SAFETY"}})"}},
       1,
       "Gemini a bloqué la demande (blockReason : SAFETY)"},
      {"a key echoed by the server",
       {orvane::testing::error_reply(400, "INVALID_ARGUMENT",
                                     std::string("API key ") + kKey + " not valid.")},
       1,
       "Gemini a répondu HTTP 400 INVALID_ARGUMENT : API key *** not valid."},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    FakeGeminiServer fresh(io.get_executor());
    auto config = settings();
    config.base_url = fresh.base_url();
    GeminiProvider provider(config);
    for (const auto& reply : test.replies) fresh.script(reply);
    if (test.failure.empty()) {
      EXPECT_EQ(run(provider.generate_content_with_retry("p")), "ok");
    } else {
      EXPECT_EQ(failure_of(provider.generate_content_with_retry("p")), test.failure);
    }
    EXPECT_EQ(fresh.requests().size(), test.attempts);
  }
}

TEST_F(GeminiProviderTest, WaitsAtLeastTheDelayTheServerAsksFor) {
  GeminiProvider provider(settings());
  server.script(
      orvane::testing::error_reply(429, "RESOURCE_EXHAUSTED", "slow down", retry_info("0.3s")));
  server.script(orvane::testing::text_reply("ok"));
  EXPECT_EQ(run(provider.generate_content_with_retry("p")), "ok");
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_GE(server.requests()[1].received_at - server.requests()[0].received_at, milliseconds(300));
}

TEST_F(GeminiProviderTest, GivesUpAtOnceWhenTheServerAsksToWaitPastTheTimeOut) {
  auto config = settings();
  config.timeout_seconds = 2;
  GeminiProvider provider(config);
  server.script(
      orvane::testing::error_reply(429, "RESOURCE_EXHAUSTED", "slow down", retry_info("60s")));
  const auto started = Clock::now();
  EXPECT_EQ(failure_of(provider.generate_content_with_retry("p")),
            "Gemini a répondu HTTP 429 RESOURCE_EXHAUSTED : slow down ; le délai de 2 s ne "
            "laisse pas le temps de réessayer");
  EXPECT_LT(Clock::now() - started, milliseconds(1500));
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(GeminiProviderTest, TheWholeCallEndsWithinTheTimeOut) {
  const std::pair<std::string, std::vector<ScriptedReply>> cases[] = {
      {"silent server", {never_answer()}},
      {"a retry, then a silent server",
       {orvane::testing::error_reply(503, "UNAVAILABLE", "x"), never_answer()}},
  };
  for (const auto& [name, replies] : cases) {
    SCOPED_TRACE(name);
    FakeGeminiServer fresh(io.get_executor());
    auto config = settings();
    config.base_url = fresh.base_url();
    config.timeout_seconds = 0.4;
    GeminiProvider provider(config);
    for (const auto& reply : replies) fresh.script(reply);
    const auto started = Clock::now();
    const auto failure = failure_of(provider.generate_content_with_retry("p"));
    const auto elapsed = Clock::now() - started;
    EXPECT_TRUE(failure.starts_with("Gemini n'a pas répondu dans le délai de 0.4 s")) << failure;
    EXPECT_GE(elapsed, milliseconds(400));
    EXPECT_LT(elapsed, milliseconds(400 + 500));
    orvane::testing::run_until(io, [&] { return fresh.connections_closed_by_client() == 1; });
  }
}

TEST_F(GeminiProviderTest, AResetMidAnswerIsReportedWhenNoRetryIsLeft) {
  auto config = settings();
  config.retry.max_retries = 0;
  GeminiProvider provider(config);
  server.script(reset_mid_answer());
  const auto failure = failure_of(provider.generate_content_with_retry("p"));
  EXPECT_TRUE(failure.starts_with("La connexion à 127.0.0.1:" + std::to_string(server.port()) +
                                  " a été coupée avant la fin de la réponse : "))
      << failure;
}

TEST_F(GeminiProviderTest, CancellationClosesTheConnectionAndPropagates) {
  const std::pair<std::string, ScriptedReply> cases[] = {
      {"waiting for the answer", never_answer()},
      {"waiting before a retry", ScriptedReply{.status = 503, .headers = {{"Retry-After", "3"}}}},
  };
  for (const auto& [name, reply] : cases) {
    SCOPED_TRACE(name);
    FakeGeminiServer fresh(io.get_executor());
    auto config = settings();
    config.base_url = fresh.base_url();
    GeminiProvider provider(config);
    fresh.script(reply);
    asio::cancellation_signal signal;
    auto future = asio::co_spawn(io, provider.generate_content_with_retry("p"),
                                 asio::bind_cancellation_slot(signal.slot(), asio::use_future));
    orvane::testing::run_until(io, [&] { return fresh.requests().size() == 1; });
    const auto cancelled_at = Clock::now();
    signal.emit(asio::cancellation_type::terminal);
    orvane::testing::run_until(
        io, [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    EXPECT_LT(Clock::now() - cancelled_at, milliseconds(500));
    try {
      future.get();
      ADD_FAILURE() << "not cancelled";
    } catch (const boost::system::system_error& error) {
      EXPECT_TRUE(is_cancellation(error)) << error.what();
    }
    if (reply.kind == ScriptedReply::Kind::never_answer)
      orvane::testing::run_until(io, [&] { return fresh.connections_closed_by_client() == 1; });
    EXPECT_EQ(fresh.requests().size(), 1u);
  }
}

TEST_F(GeminiProviderTest, SequentialCallsShareOneConnection) {
  GeminiProvider provider(settings());
  for (int call = 0; call < 3; ++call)
    EXPECT_EQ(run(provider.generate_content_with_retry("p")), "ok");
  EXPECT_EQ(server.connections_accepted(), 1u);
}

TEST_F(GeminiProviderTest, AnUnreachableServerIsRetriedThenReported) {
  std::string unreachable;
  std::string port;
  {
    const FakeGeminiServer gone(io.get_executor());
    unreachable = gone.base_url();
    port = std::to_string(gone.port());
  }
  auto config = settings();
  config.base_url = unreachable;
  GeminiProvider provider(config);
  EXPECT_EQ(
      failure_of(provider.generate_content_with_retry("p")),
      "Impossible de se connecter à 127.0.0.1:" + port + " : Connection refused (4 tentatives)");
}

TEST_F(GeminiProviderTest, AKeptConnectionTheServerClosedIsReplacedWithoutARetry) {
  auto config = settings();
  config.retry.max_retries = 0;
  GeminiProvider provider(config);
  auto first = orvane::testing::text_reply("premier");
  first.close_after_answer = true;
  server.script(first);
  server.script(orvane::testing::text_reply("second"));
  EXPECT_EQ(run(provider.generate_content_with_retry("p")), "premier");
  // Let the server's close reach the client's kept connection.
  io.run_for(milliseconds(50));
  EXPECT_EQ(run(provider.generate_content_with_retry("p")), "second");
  EXPECT_EQ(server.connections_accepted(), 2u);
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(GeminiProviderTest, FiftyConcurrentCallsEachGetTheirOwnAnswer) {
  GeminiProvider provider(settings());
  server.set_responder([](const orvane::testing::RecordedRequest& request) {
    return orvane::testing::text_reply("réponse à " + request.prompt());
  });
  std::vector<std::future<std::string>> answers;
  for (int call = 0; call < 50; ++call)
    answers.push_back(
        asio::co_spawn(io, provider.generate_content_with_retry("appel " + std::to_string(call)),
                       asio::use_future));
  orvane::testing::run_until(io, [&] {
    return std::all_of(answers.begin(), answers.end(), [](auto& answer) {
      return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
  });
  for (int call = 0; call < 50; ++call)
    EXPECT_EQ(answers[call].get(), "réponse à appel " + std::to_string(call));
  EXPECT_EQ(server.requests().size(), 50u);
  const auto opened = server.connections_accepted();
  EXPECT_EQ(run(provider.generate_content_with_retry("encore")), "réponse à encore");
  EXPECT_EQ(server.connections_accepted(), opened) << "the kept connection is reused afterwards";
}

TEST_F(GeminiProviderTest, WithoutAKeyNothingIsSent) {
  auto config = settings();
  config.api_key.clear();
  GeminiProvider provider(config);
  EXPECT_EQ(failure_of(provider.generate_content_with_retry("p")),
            "Aucune clé d'API Gemini n'est configurée : donnez-la dans la configuration "
            "(ai_api_key)");
  EXPECT_EQ(server.connections_accepted(), 0u);
}

TEST_F(GeminiProviderTest, FactoryMakesTheProviderAndChecksItsSettings) {
  auto provider = create_ai_provider("gemini", kKey, "gemini-test", 5, 0, {server.base_url(), ""});
  EXPECT_EQ(run(provider->generate_content_with_retry("p")), "ok");
  const std::pair<std::string, std::function<void()>> rejected[] = {
      {"base_url:",
       [] {
         create_ai_provider("gemini", kKey, "m", 5, 0, {"http://example.com", ""});
       }},
      {"model:", [] { create_ai_provider("gemini", kKey, "a/b", 5, 0); }},
      {"timeout_seconds:", [] { create_ai_provider("gemini", kKey, "m", 0, 0); }},
      {"ca_file:",
       [] {
         create_ai_provider("gemini", kKey, "m", 5, 0, {"", "/nonexistent/ca.pem"});
       }},
      {"(known providers: gemini, offline)", [] { create_ai_provider("other", kKey, "m", 5, 0); }},
  };
  for (const auto& [words, make] : rejected) {
    SCOPED_TRACE(words);
    try {
      make();
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace orvane

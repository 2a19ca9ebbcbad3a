#include "host/providers/gemini_response.hpp"

#include <gtest/gtest.h>

namespace orvane::gemini {
namespace {

using std::chrono::milliseconds;

std::string answer_body(Json parts, std::string finish_reason = "STOP") {
  Json candidate{{"content", Json{{"role", "model"}, {"parts", std::move(parts)}}},
                 {"finishReason", std::move(finish_reason)}};
  return Json{{"candidates", Json::array({candidate})}}.dump();
}

std::string failure_of(auto&& action) {
  try {
    action();
  } catch (const AnswerError& error) {
    return error.what();
  }
  return "no failure";
}

TEST(ParseAnswer, JoinsTextPartsAndKeepsThoughtsApart) {
  const auto answer = parse_answer(answer_body(Json::array({
      Json{{"text", "Je réfléchis."}, {"thought", true}},
      Json{{"text", "## Objectif\n"}},
      Json{{"text", "Lire un fichier."}},
      Json{{"text", ""}, {"thoughtSignature", "AY89"}},
      Json{{"inlineData", Json{{"mimeType", "image/png"}}}},
  })));
  EXPECT_EQ(answer.text, "## Objectif\nLire un fichier.");
  EXPECT_EQ(answer.thoughts, "Je réfléchis.");
  EXPECT_FALSE(answer.ran_code);
  EXPECT_EQ(answer.finish_reason, "STOP");
}

TEST(ParseAnswer, CollectsCodeAndItsOutcome) {
  const auto answer = parse_answer(answer_body(Json::array({
      Json{{"text", "Je compte. "}},
      Json{{"executableCode", Json{{"language", "PYTHON"}, {"code", "print(1)"}}}},
      Json{{"codeExecutionResult", Json{{"outcome", "OUTCOME_OK"}, {"output", "1\n"}}}},
      Json{{"executableCode", Json{{"language", "PYTHON"}, {"code", "1/0"}}}},
      Json{{"codeExecutionResult",
            Json{{"outcome", "OUTCOME_FAILED"}, {"output", "ZeroDivisionError\n"}}}},
      Json{{"text", "Fini."}},
  })));
  const auto map = code_execution_map(answer);
  EXPECT_EQ(map.dump(), Json({{"text", "Je compte. Fini."},
                              {"executable_code", "print(1)\n1/0"},
                              {"code_output", "1\nZeroDivisionError\n"},
                              {"error",
                               "Le code exécuté par Gemini a échoué (OUTCOME_FAILED) : "
                               "ZeroDivisionError"}})
                            .dump());
}

TEST(ParseAnswer, CodeMapHasNoErrorWhenTheRunSucceeded) {
  const auto map = code_execution_map(parse_answer(answer_body(Json::array({
      Json{{"executableCode", Json{{"code", "print(2)"}}}},
      Json{{"codeExecutionResult", Json{{"outcome", "OUTCOME_OK"}, {"output", "2\n"}}}},
  }))));
  EXPECT_FALSE(map.contains("error"));
  EXPECT_EQ(map["code_output"], "2\n");
}

TEST(ParseAnswer, FailsOnBodiesWithNoUsableCandidate) {
  const std::pair<std::string, std::string> cases[] = {
      {R"({"promptFeedback": {"blockReason": "PROHIBITED_CONTENT"}})",
       "Gemini a bloqué la demande (blockReason : PROHIBITED_CONTENT)"},
      {R"({"candidates": []})", "La réponse de Gemini ne contient aucune réponse candidate"},
      {R"({"usageMetadata": {}})", "La réponse de Gemini ne contient aucune réponse candidate"},
      {"<html>Bad gateway</html>",
       "La réponse de Gemini n'est pas du JSON valide : « <html>Bad gateway</html> »"},
      {"", "La réponse de Gemini n'est pas du JSON valide : corps vide"},
      {"[1, 2]", "La réponse de Gemini n'est pas du JSON valide : « [1, 2] »"},
  };
  for (const auto& [body, message] : cases) {
    SCOPED_TRACE(body);
    EXPECT_EQ(failure_of([&] { parse_answer(body); }), message);
  }
}

TEST(RequireUsable, RefusesAnswersStoppedWithNothingToUse) {
  struct Case {
    std::string body;
    CallKind kind;
    std::string message;  // empty: usable
  };
  const auto code_only =
      answer_body(Json::array({Json{{"executableCode", Json{{"code", "x"}}}}}), "STOP");
  const Case cases[] = {
      {answer_body(Json::array(), "MAX_TOKENS"), CallKind::plain,
       "Gemini n'a renvoyé aucun texte (finishReason : MAX_TOKENS)"},
      {R"({"candidates": [{"finishReason": "SAFETY"}]})", CallKind::thinking,
       "Gemini n'a renvoyé aucun texte (finishReason : SAFETY)"},
      {answer_body(Json::array({Json{{"text", "pensée"}, {"thought", true}}}), ""),
       CallKind::thinking, "Gemini n'a renvoyé aucun texte (finishReason : non précisé)"},
      {answer_body(Json::array({Json{{"text", "{\"a\": "}}}), "MAX_TOKENS"), CallKind::structured,
       "La réponse structurée de Gemini a été coupée avant la fin (finishReason : MAX_TOKENS)"},
      {answer_body(Json::array({Json{{"text", "coupé"}}}), "MAX_TOKENS"), CallKind::plain, ""},
      {code_only, CallKind::code_execution, ""},
      {code_only, CallKind::plain, "Gemini n'a renvoyé aucun texte (finishReason : STOP)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.body);
    const auto answer = parse_answer(test.body);
    const auto failure = failure_of([&] { require_usable(answer, test.kind); });
    EXPECT_EQ(failure, test.message.empty() ? "no failure" : test.message);
  }
}

TEST(ParseStructuredText, ParsesJsonAndNamesTheProblemOtherwise) {
  EXPECT_EQ(parse_structured_text(R"({"objective": "x"})")["objective"], "x");
  const auto failure = failure_of([] { parse_structured_text("Voici le JSON : {"); });
  EXPECT_TRUE(failure.starts_with("La réponse structurée de Gemini n'est pas du JSON valide ("))
      << failure;
  EXPECT_TRUE(failure.ends_with("« Voici le JSON : { »")) << failure;
}

TEST(ParseApiError, ReadsGeminiErrorBodies) {
  const auto quota = R"({"error": {"code": 429, "message": "Quota exceeded.",
      "status": "RESOURCE_EXHAUSTED", "details": [
        {"@type": "type.googleapis.com/google.rpc.QuotaFailure", "violations": [
          {"quotaId": "GenerateRequestsPerMinutePerProjectPerModel-FreeTier"}]},
        {"@type": "type.googleapis.com/google.rpc.RetryInfo", "retryDelay": "10.5s"}]}})";
  const auto rate = parse_api_error(429, "Too Many Requests", quota, "3");
  EXPECT_EQ(rate.message, "Gemini a répondu HTTP 429 RESOURCE_EXHAUSTED : Quota exceeded.");
  EXPECT_EQ(rate.retry_delay, milliseconds(10500));
  EXPECT_FALSE(rate.per_day_quota);

  const auto daily = R"({"error": {"code": 429, "message": "Quota exceeded.",
      "status": "RESOURCE_EXHAUSTED", "details": [
        {"@type": "type.googleapis.com/google.rpc.QuotaFailure", "violations": [
          {"quotaId": "GenerateRequestsPerDayPerProjectPerModel-FreeTier"}]}]}})";
  const auto per_day = parse_api_error(429, "", daily, "");
  EXPECT_TRUE(per_day.per_day_quota);
  EXPECT_EQ(per_day.retry_delay, std::nullopt);
  EXPECT_NE(per_day.message.find("quota journalier épuisé"), std::string::npos);

  const auto key = parse_api_error(
      400, "Bad Request",
      R"({"error": {"code": 400, "message": "API key not valid.", "status": "INVALID_ARGUMENT"}})",
      "");
  EXPECT_EQ(key.message, "Gemini a répondu HTTP 400 INVALID_ARGUMENT : API key not valid.");
  EXPECT_EQ(key.status, "INVALID_ARGUMENT");
}

TEST(ParseApiError, FallsBackToTheReasonAndRetryAfterForForeignBodies) {
  const auto gateway = parse_api_error(503, "Service Unavailable", "<h1>overloaded</h1>", " 7 ");
  EXPECT_EQ(gateway.message, "Gemini a répondu HTTP 503 Service Unavailable : <h1>overloaded</h1>");
  EXPECT_EQ(gateway.retry_delay, milliseconds(7000));
  const auto dated = parse_api_error(503, "", "", "Wed, 21 Oct 2026 07:28:00 GMT");
  EXPECT_EQ(dated.message, "Gemini a répondu HTTP 503");
  EXPECT_EQ(dated.retry_delay, std::nullopt);
}

TEST(ParseDuration, ReadsProtobufDurations) {
  const std::pair<std::string, std::optional<milliseconds>> cases[] = {
      {"10s", milliseconds(10000)}, {"0.25s", milliseconds(250)}, {"1.0001s", milliseconds(1001)},
      {"0s", milliseconds(0)},      {"10", std::nullopt},         {"-1s", std::nullopt},
      {"s", std::nullopt},          {"1.5ms", std::nullopt},      {"", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(parse_duration(text), expected);
  }
}

TEST(Excerpt, CutsLongBodiesByCodePoints) {
  const std::string long_body(300, 'x');
  EXPECT_EQ(excerpt(long_body, 5), "xxxxx…");
  EXPECT_EQ(excerpt("ééé", 2), "éé…");
  EXPECT_EQ(excerpt("a\xff", 5), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace orvane::gemini

#include "agents/base_agent.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/fake_ai_provider.hpp"
#include "support/run_coroutine.hpp"

namespace orvane {
namespace {

using testing::FakeAIProvider;
using testing::run_to_completion;

// Opens the model calls to the test.
class ProbeAgent : public BaseAgent {
 public:
  using BaseAgent::_call_ai_structured;
  using BaseAgent::_call_ai_with_code_execution;
  using BaseAgent::_call_ai_with_thinking;
  using BaseAgent::_call_gemini_with_retry;
  using BaseAgent::BaseAgent;
};

Json valid_result() {
  return Json{{"summary", "Résumé"},
              {"objective", "Objectif"},
              {"quality_issues",
               {{{"description", "fonction longue"}, {"severity", "low"}, {"line_number", 4}}}},
              {"security_issues", Json::array()},
              {"metrics",
               {{"lines_of_code", 40},
                {"function_count", 3},
                {"class_count", 1},
                {"cyclomatic_complexity", 5}}},
              {"dependencies", {"os"}},
              {"recommendations", {"découper main"}},
              {"main_functions", {"main"}},
              {"main_classes", {"App"}}};
}

TEST(BaseAgentTest, KeepsConfigurationAndProgressManager) {
  AnalysisConfig config;
  config.ai_provider = "offline";
  config.ai_model = "modèle-x";
  const ProbeAgent agent(config, nullptr);
  EXPECT_EQ(agent.config.ai_model, "modèle-x");
  EXPECT_EQ(agent.progress_manager, nullptr);
}

TEST(BaseAgentTest, OfflineProviderFailsEveryCallWithItsMessage) {
  AnalysisConfig config;
  config.ai_provider = "offline";
  const ProbeAgent agent(config, nullptr);
  try {
    run_to_completion(agent._call_gemini_with_retry("p"));
    FAIL() << "the offline provider answered";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("offline"), std::string::npos);
  }
}

TEST(BaseAgentTest, CallsReachTheProviderWithThePrompt) {
  const auto provider = FakeAIProvider::answering("réponse");
  provider->thinking_answer = [](const std::string&) {
    return ThinkingAnswer{"a", "raisonnement"};
  };
  provider->code_execution_answer = [](const std::string&) {
    return Json{{"text", "t"}, {"executable_code", "print(1)"}, {"code_output", "1"}};
  };
  const ProbeAgent agent(AnalysisConfig{}, nullptr, provider);

  EXPECT_EQ(run_to_completion(agent._call_gemini_with_retry("p1")), "réponse");
  EXPECT_EQ(run_to_completion(agent._call_ai_with_thinking("p2")),
            (std::pair<std::string, std::string>{"a", "raisonnement"}));
  EXPECT_EQ(run_to_completion(agent._call_ai_with_code_execution("p3")),
            (Json{{"text", "t"}, {"executable_code", "print(1)"}, {"code_output", "1"}}));
  ASSERT_EQ(provider->calls.size(), 3u);
  EXPECT_EQ(provider->calls[0].operation, "generate_content_with_retry");
  EXPECT_EQ(provider->prompts(), (std::vector<std::string>{"p1", "p2", "p3"}));
}

TEST(BaseAgentTest, StructuredCallSendsTheSchemaAndValidatesTheAnswer) {
  const auto provider = std::make_shared<FakeAIProvider>();
  provider->structured_answer = [](const std::string&, const Json&) { return valid_result(); };
  const ProbeAgent agent(AnalysisConfig{}, nullptr, provider);

  const std::optional<FileAnalysisResult> result =
      run_to_completion(agent._call_ai_structured("p"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->summary, "Résumé");
  EXPECT_EQ(result->quality_issues.at(0).line_number, 4);
  EXPECT_EQ(result->metrics.cyclomatic_complexity, 5);
  EXPECT_EQ(provider->calls.at(0).schema, record::json_schema<FileAnalysisResult>());
}

TEST(BaseAgentTest, StructuredAnswersThatAreNullOrMisshapen) {
  const auto provider = std::make_shared<FakeAIProvider>();
  const ProbeAgent agent(AnalysisConfig{}, nullptr, provider);

  provider->structured_answer = [](const std::string&, const Json&) { return Json(); };
  EXPECT_EQ(run_to_completion(agent._call_ai_structured("p")), std::nullopt);

  Json negative = valid_result();
  negative["metrics"]["lines_of_code"] = -1;
  Json missing = valid_result();
  missing.erase("summary");
  Json bad_severity = valid_result();
  bad_severity["quality_issues"][0]["severity"] = "urgent";
  const struct {
    Json answer;
    const char* offending_path;
  } cases[] = {
      {negative, "metrics.lines_of_code"},
      {missing, "summary"},
      {bad_severity, "quality_issues[0].severity"},
  };
  for (const auto& c : cases) {
    provider->structured_answer = [answer = c.answer](const std::string&, const Json&) {
      return answer;
    };
    try {
      run_to_completion(agent._call_ai_structured("p"));
      ADD_FAILURE() << "accepted " << c.answer.dump();
    } catch (const ValidationError& error) {
      ASSERT_FALSE(error.errors().empty());
      EXPECT_EQ(error.errors().front().path, c.offending_path);
    }
  }
  provider->structured_answer = [](const std::string&, const Json&) { return Json("texte"); };
  EXPECT_THROW(run_to_completion(agent._call_ai_structured("p")), ValidationError);
}

TEST(BaseAgentTest, StructuredAnswerMayLeaveListsOut) {
  const auto provider = std::make_shared<FakeAIProvider>();
  provider->structured_answer = [](const std::string&, const Json&) {
    return Json{{"summary", "s"},
                {"objective", "o"},
                {"metrics",
                 {{"lines_of_code", 1},
                  {"function_count", 0},
                  {"class_count", 0},
                  {"cyclomatic_complexity", 1}}}};
  };
  const ProbeAgent agent(AnalysisConfig{}, nullptr, provider);
  const std::optional<FileAnalysisResult> result =
      run_to_completion(agent._call_ai_structured("p"));
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->quality_issues.empty());
  EXPECT_TRUE(result->main_classes.empty());
}

TEST(BaseAgentTest, CodeExecutionAnswerMustBeAnObject) {
  const auto provider = std::make_shared<FakeAIProvider>();
  const ProbeAgent agent(AnalysisConfig{}, nullptr, provider);
  provider->code_execution_answer = [](const std::string&) { return Json(); };
  EXPECT_EQ(run_to_completion(agent._call_ai_with_code_execution("p")), std::nullopt);
  provider->code_execution_answer = [](const std::string&) { return Json::array({1}); };
  EXPECT_THROW(run_to_completion(agent._call_ai_with_code_execution("p")), std::runtime_error);
}

}  // namespace
}  // namespace orvane

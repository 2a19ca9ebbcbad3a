#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "agent_fixture.hpp"
#include "agents/analysis_prompts.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

using Lines = std::vector<std::string>;

Json result_json(const std::string& summary) {
  return Json{{"summary", summary},
              {"objective", "o"},
              {"metrics",
               {{"lines_of_code", 1},
                {"function_count", 0},
                {"class_count", 0},
                {"cyclomatic_complexity", 1}}}};
}

class AnalyzeFileStructuredTest : public testing::AgentFixture {
 protected:
  AnalyzeFileStructuredTest() {
    model->thinking_answer = [](const std::string&) {
      return ThinkingAnswer{"réponse", "je réfléchis"};
    };
  }
  std::optional<FileAnalysisResult> analyze(const std::string& path, bool use_thinking) const {
    return testing::run_to_completion(full_agent().analyze_file_structured(path, use_thinking));
  }
  Lines operations() const {
    Lines names;
    for (const auto& call : model->calls) names.push_back(call.operation);
    return names;
  }
};

TEST_F(AnalyzeFileStructuredTest, WorkingStructuredCallIsReturnedAndThinkingSkipped) {
  const std::string path = write("src/s.py", "def f():\n    return 1\n");
  model->structured_answer = [](const std::string&, const Json&) { return result_json("ok"); };
  config.enable_thinking = true;
  const std::optional<FileAnalysisResult> result = analyze(path, true);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->summary, "ok");
  EXPECT_EQ(operations(), Lines{"generate_structured"});
  EXPECT_EQ(model->calls[0].prompt, analysis_prompts::structured_analysis_prompt(
                                        "src/s.py", "Python", "def f():\n    return 1\n"));
  EXPECT_EQ(model->calls[0].schema, record::json_schema<FileAnalysisResult>());
  EXPECT_TRUE(progress->calls.empty());
}

TEST_F(AnalyzeFileStructuredTest, PathsThroughTheFlags) {
  const std::string path = write("s.py", "x = 1\n");
  const struct {
    const char* name;
    bool structured_enabled;
    bool structured_fails;  // else it answers null
    bool thinking_enabled;
    bool use_thinking;
    Lines operations;
    bool reasoning_shown;
  } cases[] = {
      {"structured fails, thinking asked and enabled",
       true,
       true,
       true,
       true,
       {"generate_structured", "generate_with_thinking"},
       true},
      {"structured off, no thinking asked", false, true, true, false, {}, false},
      {"thinking asked but disabled", true, true, false, true, {"generate_structured"}, false},
      {"structured off, thinking asked and enabled",
       false,
       true,
       true,
       true,
       {"generate_with_thinking"},
       true},
      {"structured answers null: absent at once",
       true,
       false,
       true,
       true,
       {"generate_structured"},
       false},
  };
  for (const auto& c : cases) {
    model->calls.clear();
    progress->calls.clear();
    config.enable_structured_outputs = c.structured_enabled;
    config.enable_thinking = c.thinking_enabled;
    const bool fails = c.structured_fails;
    model->structured_answer = [fails](const std::string&, const Json&) -> Json {
      if (fails) throw std::runtime_error("schéma refusé");
      return nullptr;
    };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(analyze(path, c.use_thinking), std::nullopt) << c.name;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.name;
    EXPECT_EQ(operations(), c.operations) << c.name;
    ASSERT_EQ(progress->calls.size(), c.reasoning_shown ? 1u : 0u) << c.name;
    if (c.reasoning_shown) {
      EXPECT_EQ(progress->calls[0].reasoning, "je réfléchis");
      EXPECT_EQ(progress->calls[0].model, "modèle-de-test");
    }
  }
}

TEST_F(AnalyzeFileStructuredTest, MisshapenStructuredAnswerCountsAsAFailure) {
  const std::string path = write("s.py", "x = 1\n");
  config.enable_thinking = true;
  model->structured_answer = [](const std::string&, const Json&) { return Json{{"summary", 3}}; };
  EXPECT_EQ(analyze(path, true), std::nullopt);
  EXPECT_EQ(operations(), (Lines{"generate_structured", "generate_with_thinking"}));
}

TEST_F(AnalyzeFileStructuredTest, ReasoningIsShownOnlyWhenPresentAndThereIsADisplay) {
  const std::string path = write("s.py", "x = 1\n");
  config.enable_structured_outputs = false;
  config.enable_thinking = true;
  model->thinking_answer = [](const std::string&) { return ThinkingAnswer{"a", ""}; };
  EXPECT_EQ(analyze(path, true), std::nullopt);
  EXPECT_TRUE(progress->calls.empty());

  model->thinking_answer = [](const std::string&) { return ThinkingAnswer{"a", "r"}; };
  const VettingAgent without_display(model, config);
  EXPECT_EQ(testing::run_to_completion(without_display.analyze_file_structured(path, true)),
            std::nullopt);

  // A failing display or thinking call is dropped silently.
  progress->failure = "écran fermé";
  EXPECT_EQ(analyze(path, true), std::nullopt);
  model->thinking_answer = [](const std::string&) -> ThinkingAnswer {
    throw std::runtime_error("panne");
  };
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(analyze(path, true), std::nullopt);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(AnalyzeFileStructuredTest, EmptyOrMissingFileMakesNoCall) {
  model->structured_answer = [](const std::string&, const Json&) { return result_json("x"); };
  EXPECT_EQ(analyze(write("blank.py", "\n  \n"), false), std::nullopt);
  EXPECT_EQ(analyze((project.path() / "gone.py").string(), false), std::nullopt);
  EXPECT_TRUE(model->calls.empty());
}

class AnalyzeWithCodeExecutionTest : public testing::AgentFixture {
 protected:
  std::optional<Json> analyze(const std::string& path, const std::string& task) const {
    return testing::run_to_completion(full_agent().analyze_with_code_execution(path, task));
  }
};

TEST_F(AnalyzeWithCodeExecutionTest, HostAnswerIsReturnedUnchanged) {
  const std::string path = write("src/e.py", "print(1)\n");
  const Json answer = {{"text", "t"},
                       {"executable_code", "import ast"},
                       {"code_output", "3"},
                       {"error", "avertissement"}};
  model->code_execution_answer = [answer](const std::string&) { return answer; };
  EXPECT_EQ(analyze(path, "Compter les fonctions"), answer);
  ASSERT_EQ(model->calls.size(), 1u);
  EXPECT_EQ(model->calls[0].operation, "generate_with_code_execution");
  EXPECT_EQ(model->calls[0].prompt,
            analysis_prompts::code_execution_prompt("src/e.py", "Python", "Compter les fonctions",
                                                    "print(1)\n"));
  EXPECT_TRUE(call_order->size() == 1);

  model->code_execution_answer = [](const std::string&) { return Json(); };
  EXPECT_EQ(analyze(path, "t"), std::nullopt);
}

TEST_F(AnalyzeWithCodeExecutionTest, FailuresGiveTheErrorMapWithItsKeysInOrder) {
  ::testing::internal::CaptureStdout();
  const std::optional<Json> missing = analyze((project.path() / "gone.py").string(), "t");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(model->calls.empty());
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->dump(),
            R"({"text":"Erreur lors de l'analyse: No such file or directory",)"
            R"("executable_code":null,"code_output":null,"error":"No such file or directory"})");

  const std::string path = write("e.py", "x\n");
  model->code_execution_answer = [](const std::string&) { return Json::array(); };
  EXPECT_EQ((*analyze(path, "t"))["error"],
            "la réponse de l'exécution de code n'est pas un objet JSON");
  model = testing::FakeAIProvider::failing("délai dépassé");
  EXPECT_EQ((*analyze(path, "t"))["text"], "Erreur lors de l'analyse: délai dépassé");
}

TEST_F(AnalyzeWithCodeExecutionTest, EmptyFileIsSentAndContentCutAtThirtyThousand) {
  model->code_execution_answer = [](const std::string&) { return Json::object(); };
  analyze(write("empty.py", ""), "t");
  EXPECT_NE(model->calls.at(0).prompt.find("Contenu du fichier:\n```\n\n```\n"), std::string::npos);

  std::string big;
  for (int index = 0; index < 40'000; ++index) big += index == 29'999 ? "ß" : "y";
  analyze(write("big.py", big), "t");
  EXPECT_NE(model->calls.at(1).prompt.find(
                "```\n" + std::string(text::first_code_points(big, 30'000)) + "\n```\n"),
            std::string::npos);
}

}  // namespace
}  // namespace orvane

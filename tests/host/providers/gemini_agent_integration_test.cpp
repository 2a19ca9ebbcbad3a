// The agent's analysis entry points end to end: VettingAgent built from a configuration that
// names the gemini provider, talking to the fake server over HTTP.

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>

#include "agents/vetting_agent.hpp"
#include "models/record.hpp"
#include "support/fake_gemini_server.hpp"
#include "support/run_awaitable.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

using orvane::testing::FakeGeminiServer;

constexpr std::string_view kSource =
    "import json\n\ndef load(path):\n    return json.load(open(path))\n";

constexpr std::string_view kMarkdown =
    "## Objectif\nCharger la configuration JSON du projet.\n\n"
    "## Points forts\n- Fonction courte.\n- Lecture directe.\n\n"
    "## Risques\n- Le fichier ouvert n'est jamais fermé.\n\n"
    "## Suggestions\n- Utiliser un bloc with.\n- Valider le schéma.\n";

class GeminiAgentEndToEnd : public ::testing::Test {
 protected:
  AnalysisConfig config() const {
    AnalysisConfig config;
    config.root_dir = directory.path().string();
    config.ai_provider = "gemini";
    config.ai_api_key = "agent-key";
    config.ai_model = "gemini-test";
    config.timeout_seconds = 5;
    config.max_retries = 0;
    config.ai_base_url = server.base_url();
    return config;
  }

  template <typename T>
  T run(boost::asio::awaitable<T> task) {
    return orvane::testing::run_awaitable(io, std::move(task));
  }

  boost::asio::io_context io;
  FakeGeminiServer server{io.get_executor()};
  const orvane::testing::TempDir directory;
  const std::string file = directory.write("src/config_loader.py", kSource).string();
};

TEST_F(GeminiAgentEndToEnd, AnalyzeFileCutsTheServersMarkdownIntoTheRecord) {
  server.script(orvane::testing::text_reply(std::string(kMarkdown)));
  const VettingAgent agent(config());
  const auto record = run(agent.analyze_file(file));

  EXPECT_TRUE(record.success) << record.error.value_or("");
  EXPECT_EQ(record.file_path, file);
  EXPECT_EQ(record.language, "Python");
  EXPECT_EQ(record.objective, "Charger la configuration JSON du projet.");
  EXPECT_EQ(record.strengths, (std::vector<std::string>{"Fonction courte.", "Lecture directe."}));
  EXPECT_EQ(record.risks, std::vector<std::string>{"Le fichier ouvert n'est jamais fermé."});
  EXPECT_EQ(record.suggestions,
            (std::vector<std::string>{"Utiliser un bloc with.", "Valider le schéma."}));
  EXPECT_EQ(record.analysis_markdown, kMarkdown);

  ASSERT_EQ(server.requests().size(), 1u);
  const auto& request = server.requests()[0];
  EXPECT_EQ(request.target, "/v1beta/models/gemini-test:generateContent");
  EXPECT_EQ(request.header("x-goog-api-key"), "agent-key");
  const auto prompt = request.prompt();
  EXPECT_NE(prompt.find("src/config_loader.py"), std::string::npos);
  EXPECT_NE(prompt.find("return json.load(open(path))"), std::string::npos);
}

TEST_F(GeminiAgentEndToEnd, AnalyzeFileTurnsAServerRefusalIntoAFailureRecord) {
  server.script(
      orvane::testing::error_reply(403, "PERMISSION_DENIED", "Method doesn't allow this key."));
  const VettingAgent agent(config());
  const auto record = run(agent.analyze_file(file));
  EXPECT_FALSE(record.success);
  EXPECT_EQ(record.error,
            "Gemini a répondu HTTP 403 PERMISSION_DENIED : Method doesn't allow this key.");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(GeminiAgentEndToEnd, StructuredAnalysisSendsTheRecordSchemaAndReadsTheAnswer) {
  const Json answer{{"summary", "Chargeur de configuration."},
                    {"objective", "Lire un fichier JSON."},
                    {"metrics", Json{{"lines_of_code", 4},
                                     {"function_count", 1},
                                     {"class_count", 0},
                                     {"cyclomatic_complexity", 1}}}};
  server.script(orvane::testing::text_reply(answer.dump()));
  server.script(orvane::testing::text_reply(R"({"summary": 3})"));
  const VettingAgent agent(config());

  const auto result = run(agent.analyze_file_structured(file));
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->objective, "Lire un fichier JSON.");
  EXPECT_EQ(result->metrics.lines_of_code, 4);
  EXPECT_EQ(server.requests().at(0).json()["generationConfig"]["responseJsonSchema"],
            record::json_schema<FileAnalysisResult>());

  EXPECT_EQ(run(agent.analyze_file_structured(file)), std::nullopt)
      << "an answer that does not fit the schema is dropped";
}

TEST_F(GeminiAgentEndToEnd, CodeExecutionAnalysisPassesTheServersMapThrough) {
  server.script(orvane::testing::answer_reply(Json::array({
      Json{{"text", "Une fonction."}},
      Json{{"executableCode", Json{{"language", "PYTHON"}, {"code", "print(1)"}}}},
      Json{{"codeExecutionResult", Json{{"outcome", "OUTCOME_OK"}, {"output", "1\n"}}}},
  })));
  const VettingAgent agent(config());
  const auto map = run(agent.analyze_with_code_execution(file, "Compter les fonctions"));
  ASSERT_TRUE(map.has_value());
  EXPECT_EQ(
      *map,
      Json({{"text", "Une fonction."}, {"executable_code", "print(1)"}, {"code_output", "1\n"}}));
  EXPECT_EQ(server.requests().at(0).json()["tools"].dump(), R"([{"codeExecution":{}}])");
}

}  // namespace
}  // namespace orvane

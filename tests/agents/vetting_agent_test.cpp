#include "agents/vetting_agent.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/fake_ai_provider.hpp"
#include "support/fake_collaborators.hpp"

namespace orvane {
namespace {

using testing::FakeAIProvider;

TEST(DetectLanguageTest, Table) {
  const struct {
    const char* path;
    const char* language;
  } cases[] = {
      {"src/app/main.py", "Python"},
      {"Main.PY", "Python"},
      {"config.yml", "YAML"},
      {"config.yaml", "YAML"},
      {"include/api.h", "C/C++ Header"},
      {"include/api.hpp", "Unknown"},
      {"archive.tar.gz", "Unknown"},
      {"Makefile", "Unknown"},
      {".env", "Unknown"},
      {"notes.", "Unknown"},
      {"dir.d/README", "Unknown"},
      {"web/App.TSX", "TypeScript (React)"},
      {"lib/view.jsx", "JavaScript (React)"},
      {"a/b.c", "C"},
      {"Program.cs", "C#"},
      {"styles/site.scss", "SCSS"},
      {"src/pkg/", "Unknown"},
      {"src/main.rs/", "Rust"},
      {"..py", "Python"},
      {"", "Unknown"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VettingAgent::detect_language(c.path), c.language) << c.path;
  }
}

TEST(DetectLanguageTest, EveryListedExtension) {
  const struct {
    const char* extension;
    const char* language;
  } table[] = {
      {".dart", "Dart"},
      {".ts", "TypeScript"},
      {".tsx", "TypeScript (React)"},
      {".js", "JavaScript"},
      {".jsx", "JavaScript (React)"},
      {".py", "Python"},
      {".java", "Java"},
      {".kt", "Kotlin"},
      {".swift", "Swift"},
      {".go", "Go"},
      {".rs", "Rust"},
      {".cpp", "C++"},
      {".c", "C"},
      {".h", "C/C++ Header"},
      {".cs", "C#"},
      {".php", "PHP"},
      {".rb", "Ruby"},
      {".sh", "Shell"},
      {".yaml", "YAML"},
      {".yml", "YAML"},
      {".json", "JSON"},
      {".xml", "XML"},
      {".md", "Markdown"},
      {".sql", "SQL"},
      {".html", "HTML"},
      {".css", "CSS"},
      {".scss", "SCSS"},
      {".sass", "SASS"},
  };
  for (const auto& row : table) {
    EXPECT_EQ(VettingAgent::detect_language(std::string("dir/file") + row.extension), row.language);
  }
  for (const char* unlisted : {".cc", ".mjs", ".vue", ".kts", ".txt"}) {
    EXPECT_EQ(VettingAgent::detect_language(std::string("file") + unlisted), "Unknown");
  }
}

TEST(VettingAgentConstructionTest, OnlyTheConfigurationLeavesEveryCollaboratorAbsent) {
  AnalysisConfig config;
  config.root_dir = "/project";
  config.ai_provider = "offline";
  const VettingAgent agent(config);
  EXPECT_EQ(agent.config.root_dir, "/project");
  EXPECT_EQ(agent.dependency_analyzer, nullptr);
  EXPECT_EQ(agent.doc_searcher, nullptr);
  EXPECT_EQ(agent.probe_writer, nullptr);
  EXPECT_EQ(agent.progress_manager, nullptr);
}

TEST(VettingAgentConstructionTest, EachCollaboratorLandsInItsOwnMember) {
  AnalysisConfig config;
  config.ai_provider = "offline";
  const auto analyzer = std::make_shared<testing::FakeDependencyAnalyzer>();
  const auto searcher = std::make_shared<testing::FakeDocSearcher>();
  const auto generator = std::make_shared<testing::FakeCodeGenerator>();
  const auto progress = std::make_shared<testing::FakeProgressManager>();
  const VettingAgent agent(config, analyzer, searcher, generator, progress);
  EXPECT_EQ(agent.dependency_analyzer, analyzer);
  EXPECT_EQ(agent.doc_searcher, searcher);
  EXPECT_EQ(agent.probe_writer, generator);
  EXPECT_EQ(agent.progress_manager, progress);
  EXPECT_TRUE(analyzer->calls.empty());
  EXPECT_TRUE(searcher->calls.empty());
  EXPECT_TRUE(generator->calls.empty());
  EXPECT_TRUE(progress->calls.empty());
}

TEST(VettingAgentConstructionTest, ProviderFailureReachesTheCaller) {
  AnalysisConfig config;
  config.ai_provider = "no-such-provider";
  try {
    const VettingAgent agent(config);
    FAIL() << "an unknown provider was accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("offline"), std::string::npos) << error.what();
  }
}

TEST(VettingAgentConstructionTest, InjectedProviderMustExist) {
  EXPECT_THROW(VettingAgent(nullptr, AnalysisConfig{}), std::invalid_argument);
  EXPECT_NO_THROW(VettingAgent(std::make_shared<FakeAIProvider>(), AnalysisConfig{}));
}

}  // namespace
}  // namespace orvane

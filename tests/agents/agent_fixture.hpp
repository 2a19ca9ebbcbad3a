#pragma once
// A project in a fresh temporary directory, an agent over it and recording fakes of every
// collaborator, sharing one call log so tests can check the order of calls across them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "agents/vetting_agent.hpp"
#include "support/fake_ai_provider.hpp"
#include "support/fake_collaborators.hpp"
#include "support/run_coroutine.hpp"
#include "support/temp_dir.hpp"

namespace orvane::testing {

class AgentFixture : public ::testing::Test {
 protected:
  AgentFixture() {
    config.root_dir = project.path().string();
    config.enable_code_generation = true;
    config.ai_model = "modèle-de-test";
    model->call_order = call_order;
    analyzer->call_order = call_order;
    searcher->call_order = call_order;
    generator->call_order = call_order;
  }

  // An agent with every collaborator present.
  VettingAgent full_agent() const {
    return VettingAgent(model, config, analyzer, searcher, generator, progress);
  }
  VettingAgent bare_agent() const { return VettingAgent(model, config); }

  // Writes `bytes` under the project root; returns the file's full path.
  std::string write(const std::string& relative, const std::string& bytes) const {
    return project.write(relative, bytes).string();
  }

  TempDir project;
  AnalysisConfig config;
  std::shared_ptr<std::vector<std::string>> call_order =
      std::make_shared<std::vector<std::string>>();
  std::shared_ptr<FakeAIProvider> model = std::make_shared<FakeAIProvider>();
  std::shared_ptr<FakeDependencyAnalyzer> analyzer = std::make_shared<FakeDependencyAnalyzer>();
  std::shared_ptr<FakeDocSearcher> searcher = std::make_shared<FakeDocSearcher>();
  std::shared_ptr<FakeCodeGenerator> generator = std::make_shared<FakeCodeGenerator>();
  std::shared_ptr<FakeProgressManager> progress = std::make_shared<FakeProgressManager>();
};

}  // namespace orvane::testing

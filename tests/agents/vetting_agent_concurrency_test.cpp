#include <gtest/gtest.h>

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/system/system_error.hpp>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "agent_fixture.hpp"
#include "core/cancellation.hpp"
#include "services/probe_writer.hpp"

namespace orvane {
namespace {

using namespace std::chrono_literals;

// Starts `work`, lets it run until it suspends, checks `suspended_where`, cancels it through
// its cancellation slot and returns how it ended. Prints nothing: captured stdout must stay
// empty, since a cancellation is not a failure to warn about.
template <typename T>
void expect_cancellation_reaches_caller(boost::asio::awaitable<T> work,
                                        const std::function<bool()>& suspended_where) {
  boost::asio::io_context context;
  boost::asio::cancellation_signal signal;
  std::exception_ptr outcome;
  bool finished = false;
  boost::asio::co_spawn(
      context, std::move(work),
      boost::asio::bind_cancellation_slot(signal.slot(), [&](std::exception_ptr error, const T&) {
        outcome = error;
        finished = true;
      }));
  ::testing::internal::CaptureStdout();
  context.poll();
  ASSERT_FALSE(finished);
  ASSERT_TRUE(suspended_where());
  signal.emit(boost::asio::cancellation_type::terminal);
  context.run();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_TRUE(finished);
  ASSERT_TRUE(outcome) << "the cancellation was absorbed into a result";
  try {
    std::rethrow_exception(outcome);
  } catch (const boost::system::system_error& error) {
    EXPECT_TRUE(is_cancellation(error)) << error.what();
  }
}

class VettingAgentCancellationTest : public testing::AgentFixture {
 protected:
  VettingAgentCancellationTest() {
    model->delay = 1h;
    model->text_answer = [](const std::string&) { return std::string("## Objectif\nx\n"); };
    model->structured_answer = [](const std::string&, const Json&) { return Json(); };
    model->code_execution_answer = [](const std::string&) { return Json::object(); };
    path = write("slow.py", "x = 1\n");
  }
  std::function<bool()> model_called(std::string operation) const {
    return [this, operation] {
      return model->calls.size() == 1 && model->calls[0].operation == operation;
    };
  }
  std::string path;
};

TEST_F(VettingAgentCancellationTest, AnalyzeFileWhileAwaitingTheModel) {
  const VettingAgent agent = full_agent();
  expect_cancellation_reaches_caller(agent.analyze_file(path),
                                     model_called("generate_content_with_retry"));
}

TEST_F(VettingAgentCancellationTest, AnalyzeFileWhileAwaitingTheGenerator) {
  generator->delay = 1h;
  const VettingAgent agent = full_agent();
  expect_cancellation_reaches_caller(agent.analyze_file(path),
                                     [this] { return generator->calls.size() == 1; });
  EXPECT_TRUE(model->calls.empty());
}

TEST_F(VettingAgentCancellationTest, AnalyzeFileWhileTheRealGeneratorAwaitsItsModel) {
  const auto generator_model = testing::FakeAIProvider::answering("code");
  generator_model->delay = 1h;
  const VettingAgent agent(model, config, analyzer, searcher,
                           std::make_shared<ProbeWriter>(config, generator_model));
  expect_cancellation_reaches_caller(agent.analyze_file(path),
                                     [&] { return generator_model->calls.size() == 1; });
}

TEST_F(VettingAgentCancellationTest, StructuredAnalysisWhileAwaitingTheModel) {
  const VettingAgent agent = full_agent();
  expect_cancellation_reaches_caller(agent.analyze_file_structured(path, true),
                                     model_called("generate_structured"));
}

TEST_F(VettingAgentCancellationTest, CodeExecutionWhileAwaitingTheModel) {
  const VettingAgent agent = full_agent();
  expect_cancellation_reaches_caller(agent.analyze_with_code_execution(path, "t"),
                                     model_called("generate_with_code_execution"));
}

// The text of `prompt` after `marker`, up to the end of its line.
std::string line_after(const std::string& prompt, const std::string& marker) {
  const std::size_t start = prompt.find(marker);
  if (start == std::string::npos) return "?";
  const std::size_t begin = start + marker.size();
  return prompt.substr(begin, prompt.find('\n', begin) - begin);
}

TEST(VettingAgentConcurrencyTest, TwoHundredAnalysesInFlightOnOneAgentAndOneGenerator) {
  testing::TempDir project;
  AnalysisConfig config;
  config.root_dir = project.path().string();
  config.enable_code_generation = true;

  // The generator's model answers with a probe naming the source it was given.
  const auto generator_model = std::make_shared<testing::FakeAIProvider>();
  generator_model->delay = 20ms;
  generator_model->text_answer = [](const std::string& prompt) {
    return "```python\n# sonde " + line_after(prompt, "```\n") + "\n```";
  };
  const auto generator = std::make_shared<ProbeWriter>(config, generator_model);

  constexpr int kFiles = 200;
  const auto model = std::make_shared<testing::FakeAIProvider>();
  model->delay = 50ms;
  std::size_t calls_seen_by_first_answer = 0;
  model->text_answer = [&](const std::string& prompt) {
    if (calls_seen_by_first_answer == 0) calls_seen_by_first_answer = model->calls.size();
    return "## Objectif\n" + line_after(prompt, "Fichier: ") + " | " +
           line_after(prompt, "# sonde ") + "\n## Points forts\n- fort\n";
  };
  const VettingAgent agent(model, config, nullptr, nullptr, generator);

  boost::asio::io_context context;
  std::vector<std::string> paths;
  std::vector<FileAnalysis> records(kFiles);
  int failures = 0;
  for (int index = 0; index < kFiles; ++index) {
    paths.push_back(
        project.write("pkg/f" + std::to_string(index) + ".py", "v = " + std::to_string(index))
            .string());
    boost::asio::co_spawn(context, agent.analyze_file(paths.back()),
                          [&, index](std::exception_ptr error, FileAnalysis record) {
                            if (error) ++failures;
                            records[index] = std::move(record);
                          });
  }
  context.run();

  EXPECT_EQ(failures, 0);
  EXPECT_EQ(calls_seen_by_first_answer, static_cast<std::size_t>(kFiles))
      << "the analyses did not overlap";
  EXPECT_EQ(generator_model->calls.size(), static_cast<std::size_t>(kFiles));
  for (int index = 0; index < kFiles; ++index) {
    const std::string name = "pkg/f" + std::to_string(index) + ".py";
    EXPECT_EQ(records[index].file_path, paths[index]);
    EXPECT_TRUE(records[index].success);
    EXPECT_EQ(records[index].objective, name + " | v = " + std::to_string(index));
  }
}

}  // namespace
}  // namespace orvane

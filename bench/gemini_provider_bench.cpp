// The cost of one model call through GeminiProvider against a local fake server: requests per
// second over one kept-alive connection (plain HTTP on 127.0.0.1, client and server on one
// io_context and one thread), and the answer parsing on its own.

#include <benchmark/benchmark.h>

#include <boost/asio/io_context.hpp>

#include "host/providers/gemini_provider.hpp"
#include "host/providers/gemini_response.hpp"

#include "support/fake_gemini_server.hpp"
#include "support/run_awaitable.hpp"

namespace {

std::string analysis_text() {
  std::string text = "## Objectif\nLire la configuration.\n## Points forts\n";
  for (int line = 0; line < 40; ++line)
    text += "- Une remarque sur la ligne " + std::to_string(line) + ".\n";
  return text;
}

void BM_SequentialCallsOverOneConnection(benchmark::State& state) {
  boost::asio::io_context io;
  orvane::testing::FakeGeminiServer server(io.get_executor());
  const auto reply = orvane::testing::text_reply(analysis_text());
  server.set_responder([&](const orvane::testing::RecordedRequest&) { return reply; });
  orvane::GeminiSettings settings;
  settings.api_key = "bench-key";
  settings.model = "gemini-bench";
  settings.base_url = server.base_url();
  orvane::GeminiProvider provider(settings);
  const std::string prompt(4000, 'x');
  for (auto _ : state) {
    auto answer = orvane::testing::run_awaitable(io, provider.generate_content_with_retry(prompt));
    benchmark::DoNotOptimize(answer);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["connections"] = static_cast<double>(server.connections_accepted());
}
BENCHMARK(BM_SequentialCallsOverOneConnection)->Unit(benchmark::kMicrosecond);

void BM_ParseAnswer(benchmark::State& state) {
  const auto body = orvane::testing::text_reply(analysis_text()).body;
  for (auto _ : state) {
    auto answer = orvane::gemini::parse_answer(body);
    benchmark::DoNotOptimize(answer);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseAnswer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

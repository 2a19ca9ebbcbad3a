#include "support/fake_collaborators.hpp"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <stdexcept>

namespace orvane::testing {
namespace {

void note(const CallOrder& call_order, const char* name) {
  if (call_order) call_order->push_back(name);
}

void fail_if_asked(const std::string& failure) {
  if (!failure.empty()) throw std::runtime_error(failure);
}

}  // namespace

std::vector<DependencyRecord> FakeDependencyAnalyzer::extract_dependencies(
    const std::string& file_path, const std::string& content, const std::string& language) const {
  note(call_order, "extract_dependencies");
  calls.push_back(Call{file_path, content, language});
  fail_if_asked(failure);
  return records;
}

DependentsByDepth FakeDependencyAnalyzer::get_dependents(const std::string&, int) const {
  throw std::logic_error("the agent never asks for dependents");
}

boost::asio::awaitable<std::string> FakeDocSearcher::search_documentation(std::string language,
                                                                          std::string file_path,
                                                                          std::string content) {
  note(call_order, "search_documentation");
  calls.push_back(Call{std::move(language), std::move(file_path), std::move(content)});
  fail_if_asked(failure);
  co_return documentation;
}

boost::asio::awaitable<std::optional<std::string>> FakeCodeGenerator::generate_analysis_code(
    std::string original_code, std::string language, std::string analysis_focus) {
  note(call_order, "generate_analysis_code");
  calls.push_back(Call{std::move(original_code), std::move(language), std::move(analysis_focus)});
  if (delay > std::chrono::steady_clock::duration::zero()) {
    boost::asio::steady_timer timer(co_await boost::asio::this_coro::executor, delay);
    co_await timer.async_wait(boost::asio::use_awaitable);
  }
  fail_if_asked(failure);
  co_return code;
}

void FakeProgressManager::print_reasoning(const std::string& reasoning, const std::string& model) {
  calls.push_back(Call{reasoning, model});
  fail_if_asked(failure);
}

}  // namespace orvane::testing

// disk_tools_bench [--directory DIR] [--repeat N] [--case NAME]...
//
// Times SearchFilesSkill::execute in-process (awaited on an io_context, as the host runs it)
// on DIR (default /usr/include) with a sandbox rooted there, for these cases:
//   glob      **/*.h, no content pattern
//   todo      **/*.h with TODO|FIXME
//   call      **/*.h with \b\w+_t\s*\(
//   shallow   */*.h, no content pattern
// Prints one JSON line per case: files, summed content matches, median / min / max in seconds.
// Runs on the calling thread only.

#include <algorithm>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "skills/disk_tools.hpp"

namespace {

struct Case {
  std::string name;
  std::string pattern;
  std::string content_pattern;
};

orvane::SkillResult run_once(const orvane::SearchFilesSkill& skill, const orvane::Json& arguments) {
  boost::asio::io_context loop;
  auto pending = boost::asio::co_spawn(loop, skill.execute(arguments), boost::asio::use_future);
  loop.run();
  return pending.get();
}

}  // namespace

int main(int argc, char** argv) {
  std::string directory = "/usr/include";
  int repeat = 7;
  std::vector<std::string> wanted;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--directory" && i + 1 < argc) {
      directory = argv[++i];
    } else if (argument == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::stoi(argv[++i]));
    } else if (argument == "--case" && i + 1 < argc) {
      wanted.push_back(argv[++i]);
    } else {
      std::cerr << "usage: disk_tools_bench [--directory DIR] [--repeat N] [--case NAME]...\n";
      return 2;
    }
  }
  const std::vector<Case> cases = {
      {"glob", "**/*.h", ""},
      {"todo", "**/*.h", "TODO|FIXME"},
      {"call", "**/*.h", "\\b\\w+_t\\s*\\("},
      {"shallow", "*/*.h", ""},
  };
  const orvane::SearchFilesSkill skill({.sandbox = std::make_shared<orvane::SandboxValidator>(
                                            std::vector<std::filesystem::path>{directory})});
  for (const auto& one : cases) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), one.name) == wanted.end()) {
      continue;
    }
    orvane::Json arguments = {
        {"pattern", one.pattern}, {"directory", directory}, {"max_results", 100'000'000}};
    if (!one.content_pattern.empty()) arguments["content_pattern"] = one.content_pattern;
    std::vector<double> seconds;
    std::size_t files = 0;
    std::size_t content_matches = 0;
    run_once(skill, arguments);  // warm the page and directory caches
    for (int r = 0; r < repeat; ++r) {
      const auto start = std::chrono::steady_clock::now();
      const orvane::SkillResult result = run_once(skill, arguments);
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      if (result.status != orvane::SkillResultStatus::SUCCESS) {
        std::cerr << one.name << ": " << result.error << "\n";
        return 1;
      }
      files = result.data["total_matches"].get<std::size_t>();
      content_matches = 0;
      for (const auto& match : result.data["matches"]) {
        content_matches += match.value("content_matches", std::size_t{0});
      }
    }
    std::sort(seconds.begin(), seconds.end());
    const orvane::Json line = {{"case", one.name},
                               {"pattern", one.pattern},
                               {"content_pattern", one.content_pattern},
                               {"files", files},
                               {"sum_content_matches", content_matches},
                               {"median_s", seconds[seconds.size() / 2]},
                               {"min_s", seconds.front()},
                               {"max_s", seconds.back()}};
    std::cout << line.dump() << std::endl;
  }
  return 0;
}

// search_files_tool DIRECTORY PATTERN [CONTENT_REGEX] [MAX_RESULTS] [--root PATH]
// search_files_tool --build
//
// Prints the result of SearchFilesSkill::execute as one line of JSON:
// {"status": ..., "output": ..., "data": {...}} on success, {"status": ..., "error": ...}
// otherwise. The sandbox is rooted at "/" unless --root is given. --build prints "sanitized"
// for a sanitizer build, "plain" otherwise, so that scripts can scale their work.

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_future.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "skills/disk_tools.hpp"

namespace {

const char* status_text(orvane::SkillResultStatus status) {
  switch (status) {
    case orvane::SkillResultStatus::SUCCESS:
      return "success";
    case orvane::SkillResultStatus::ERROR:
      return "error";
    case orvane::SkillResultStatus::DENIED:
      return "denied";
  }
  return "error";
}

bool sanitized_build() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#else
  return false;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string root = "/";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--build") {
      std::cout << (sanitized_build() ? "sanitized" : "plain") << "\n";
      return 0;
    }
    if (argument == "--root" && i + 1 < argc) {
      root = argv[++i];
      continue;
    }
    positional.push_back(argument);
  }
  if (positional.size() < 2 || positional.size() > 4) {
    std::cerr << "usage: search_files_tool DIRECTORY PATTERN [CONTENT_REGEX] [MAX_RESULTS] "
                 "[--root PATH]\n";
    return 2;
  }
  try {
    orvane::Json arguments = {{"pattern", positional[1]}, {"directory", positional[0]}};
    if (positional.size() >= 3) arguments["content_pattern"] = positional[2];
    if (positional.size() >= 4) arguments["max_results"] = std::stoll(positional[3]);

    const orvane::SearchFilesSkill skill({.sandbox = std::make_shared<orvane::SandboxValidator>(
                                              std::vector<std::filesystem::path>{root})});
    boost::asio::io_context loop;
    auto pending = boost::asio::co_spawn(loop, skill.execute(arguments), boost::asio::use_future);
    loop.run();
    const orvane::SkillResult result = pending.get();

    orvane::Json out = orvane::Json::object();
    out["status"] = status_text(result.status);
    if (result.status == orvane::SkillResultStatus::SUCCESS) {
      out["output"] = result.output;
      out["data"] = result.data;
    } else {
      out["error"] = result.error;
    }
    std::cout << out.dump(-1, ' ', false, orvane::Json::error_handler_t::replace) << "\n";
    return result.status == orvane::SkillResultStatus::SUCCESS ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "search_files_tool: " << error.what() << "\n";
    return 2;
  }
}

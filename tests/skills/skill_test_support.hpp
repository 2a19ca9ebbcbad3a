#pragma once
// Helpers for the skill tests: running a skill, reading files back, changing the working
// directory for one test, and running a check under an unprivileged user.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "skills/disk_tools.hpp"

namespace orvane::testing {

inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::shared_ptr<SandboxValidator> sandbox_at(const std::filesystem::path& root,
                                                    BeneathOpen how = BeneathOpen::kernel_first) {
  return std::make_shared<SandboxValidator>(std::vector<std::filesystem::path>{root}, how);
}

// Makes `directory` the working directory until the end of the scope.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::filesystem::path& directory)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
  }
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;
  ~ScopedWorkingDirectory() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

// Runs `check` in a child process under the user "nobody" (65534) when the tests run as root,
// so that permission bits apply; directly otherwise. Returns the text the check produced.
inline std::string run_unprivileged(const std::function<std::string()>& check) {
  if (::geteuid() != 0) return check();
  int channel[2];
  if (::pipe(channel) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    std::string out;
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
      out = "cannot drop privileges";
    } else {
      try {
        out = check();
      } catch (const std::exception& error) {
        out = std::string("exception: ") + error.what();
      }
    }
    const ssize_t ignored = ::write(channel[1], out.data(), out.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string out;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return out;
}

// "STATUS|error|output" of a result, for checks that cross a process boundary.
inline std::string summary(const SkillResult& result) {
  const char* status = result.status == SkillResultStatus::SUCCESS ? "SUCCESS"
                       : result.status == SkillResultStatus::ERROR ? "ERROR"
                                                                   : "DENIED";
  return std::string(status) + "|" + result.error + "|" + result.output;
}

}  // namespace orvane::testing

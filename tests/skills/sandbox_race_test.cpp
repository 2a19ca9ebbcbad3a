// The window between checking a path and opening it: a thread of the test keeps exchanging a
// directory inside the root with a symbolic link to a directory outside, while the skills read,
// write and search through that name. Not one byte may come from, or go to, the outside.

#include <stdio.h>

#include <gtest/gtest.h>
#include <atomic>
#include <thread>

#include "skill_test_support.hpp"
#include "skills/disk_tools.hpp"
#include "support/temp_dir.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;

class SandboxRaceTest : public ::testing::TestWithParam<BeneathOpen> {};

TEST_P(SandboxRaceTest, SwappingADirectoryForALinkNeverLeaksOutside) {
  const testing::TempDir base;
  const fs::path root = base.path() / "root";
  const fs::path outside = base.path() / "outside";
  base.write("root/swap/f", "inside\n");
  base.write("outside/f", "SECRET\n");
  fs::create_directory_symlink(outside, root / "alt");

  const auto sandbox = testing::sandbox_at(root, GetParam());
  const ReadFileSkill reader({.sandbox = sandbox});
  const WriteFileSkill writer({.sandbox = sandbox});
  const SearchFilesSkill searcher({.sandbox = sandbox});

  std::atomic<bool> stop{false};
  std::atomic<long> swaps{0};
  std::thread swapper([&] {
    const std::string a = (root / "swap").string();
    const std::string b = (root / "alt").string();
    while (!stop.load(std::memory_order_relaxed)) {
      if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
    }
  });

  const std::string file = (root / "swap/f").string();
  int successes = 0;
  int refusals = 0;
  int leaks = 0;
  constexpr int kRounds = 1000;
  for (int i = 0; i < kRounds; ++i) {
    const SkillResult read = reader.execute_now({{"path", file}});
    if (read.output.find("SECRET") != std::string::npos) ++leaks;
    const std::string target = (root / "swap" / std::to_string(i % 7)).string();
    const SkillResult written = writer.execute_now(
        {{"path", target}, {"content", "x"}, {"mode", i % 2 == 0 ? "overwrite" : "append"}});
    const SkillResult created =
        writer.execute_now({{"path", (root / "swap/new/deeper.txt").string()}, {"content", "y"}});
    const SkillResult found = searcher.execute_now({{"pattern", "swap/*"},
                                                    {"directory", root.string()},
                                                    {"content_pattern", "SECRET|inside"}});
    if (found.status == SkillResultStatus::SUCCESS) {
      for (const auto& match : found.data["matches"]) {
        if (match["match_previews"].dump().find("SECRET") != std::string::npos) ++leaks;
      }
    }
    for (const SkillResult* result : {&read, &written, &created, &found}) {
      if (result->status == SkillResultStatus::SUCCESS) ++successes;
      if (result->status == SkillResultStatus::DENIED) ++refusals;
    }
  }
  stop = true;
  swapper.join();

  EXPECT_EQ(leaks, 0);
  std::vector<std::string> outside_entries;
  for (const auto& entry : fs::recursive_directory_iterator(outside)) {
    outside_entries.push_back(entry.path().filename());
  }
  EXPECT_EQ(outside_entries, std::vector<std::string>{"f"});
  EXPECT_EQ(testing::slurp(outside / "f"), "SECRET\n");
  // Both outcomes must have occurred, or the race was not exercised.
  EXPECT_GT(successes, 0);
  EXPECT_GT(refusals, 0);
  std::cout << "[race] " << 4 * kRounds << " calls, " << swaps.load() << " swaps, " << successes
            << " succeeded, " << refusals << " refused, " << leaks << " leaked\n";
}

INSTANTIATE_TEST_SUITE_P(BothResolutions, SandboxRaceTest,
                         ::testing::Values(BeneathOpen::kernel_first, BeneathOpen::walk_only));

}  // namespace
}  // namespace orvane

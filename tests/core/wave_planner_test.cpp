#include "core/wave_planner.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvane::wave_planner {
namespace {

using Strings = std::vector<std::string>;

// Built with += rather than "x" + std::to_string(i), on which GCC 12 warns falsely (-Wrestrict).
std::string numbered(const char* prefix, int number) {
  std::string text(prefix);
  text += std::to_string(number);
  return text;
}

Strings as_strings(const std::vector<std::string_view>& views) {
  return Strings(views.begin(), views.end());
}

struct LevelCase {
  const char* name;
  FileList files;
  DependenciesMap dependencies_map;
  Levels expected;
};

TEST(DetectIndependentFilesTest, LevelsTable) {
  const LevelCase cases[] = {
      {"empty files", {}, {{"a", {"b"}}}, {}},
      {"no dependencies", {"c", "a", "b"}, {}, {{"c", "a", "b"}}},
      {"chain", {"a", "b", "c"}, {{"a", {"b"}}, {"b", {"c"}}}, {{"a"}, {"b"}, {"c"}}},
      {"diamond, set order of first insertion",
       {"a", "b", "c", "d"},
       {{"a", {"c", "b"}}, {"b", {"d"}}, {"c", {"d"}}},
       {{"a"}, {"c", "b"}, {"d"}}},
      {"cycle below the first level",
       {"m", "a", "b", "z"},
       {{"m", {"a"}}, {"a", {"b"}}, {"b", {"a"}}},
       {{"m", "z", "a", "b"}}},
      {"two files depending on each other", {"a", "b"}, {{"b", {"a"}}, {"a", {"b"}}}, {{"a", "b"}}},
      {"self-edge alone", {"s"}, {{"s", {"s"}}}, {{"s"}}},
      {"self-edge with dependents and a dependency",
       {"top", "s", "leaf", "free"},
       {{"top", {"s"}}, {"s", {"s", "leaf"}}},
       {{"top", "free", "s", "leaf"}}},
      {"cycle remainder after ordered files of the last level",
       {"a", "b", "c", "x", "y"},
       {{"a", {"b", "x"}}, {"x", {"y"}}, {"y", {"x"}}},
       {{"a", "c"}, {"b", "x", "y"}}},
      {"unlisted dependency and unlisted key ignored",
       {"a", "b"},
       {{"a", {"ext/lib.py"}}, {"tests/t.py", {"a", "b"}}},
       {{"a", "b"}}},
      {"repeated file placed once at its first position",
       {"a", "b", "a"},
       {{"a", {"x"}}, {"y", {"a"}}},
       {{"a", "b"}}},
      {"repeated dependency collapses", {"a", "b"}, {{"a", {"b", "b", "b"}}}, {{"a"}, {"b"}}},
      {"key given twice merges its lists in order",
       {"a", "b", "c", "d"},
       {{"a", {"c"}}, {"d", {}}, {"a", {"b", "c"}}},
       {{"a", "d"}, {"c", "b"}}},
      {"paths compared as plain texts",
       {"src/a.py", "./src/a.py", "SRC/A.py"},
       {{"src/a.py", {"src//a.py", "SRC/a.py"}}, {"./src/a.py", {"src/a.py"}}},
       {{"./src/a.py", "SRC/A.py"}, {"src/a.py"}}},
      {"release order follows the releasing file",
       {"p", "q", "x", "y"},
       {{"p", {"y"}}, {"q", {"x"}}},
       {{"p", "q"}, {"y", "x"}}},
      {"a file waits for its last dependent",
       {"a", "b", "c"},
       {{"a", {"b", "c"}}, {"b", {"c"}}},
       {{"a"}, {"b"}, {"c"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(detect_independent_files(c.files, c.dependencies_map), c.expected) << c.name;
    EXPECT_EQ(topological_sort(build_dependency_graph(c.files, c.dependencies_map)), c.expected)
        << c.name;
  }
}

TEST(BuildDependencyGraphTest, KeepsListedFilesInFirstOccurrenceOrder) {
  const DependencyGraph graph = build_dependency_graph(
      {"b", "a", "b", "c"},
      {{"c", {"a", "c", "ext", "a"}}, {"unlisted", {"a"}}, {"b", {"c"}}, {"c", {"b", "a"}}});
  EXPECT_EQ(as_strings(graph.files()), (Strings{"b", "a", "c"}));
  EXPECT_EQ(as_strings(graph.dependencies_of("b")), (Strings{"c"}));
  EXPECT_TRUE(graph.dependencies_of("a").empty());
  EXPECT_EQ(as_strings(graph.dependencies_of("c")), (Strings{"a", "c", "b"}));
  EXPECT_FALSE(graph.contains("unlisted"));
  EXPECT_FALSE(graph.contains("ext"));
  EXPECT_THROW(graph.dependencies_of("ext"), std::out_of_range);
  EXPECT_TRUE(build_dependency_graph({}, {{"a", {"b"}}}).empty());
}

TEST(DependencyGraphTest, AddingKeepsSetsDistinctAndOrdered) {
  DependencyGraph graph;
  EXPECT_TRUE(graph.add_file("a"));
  EXPECT_FALSE(graph.add_file("a"));
  EXPECT_TRUE(graph.add_dependency("b", "a"));  // adds the key "b"
  EXPECT_FALSE(graph.add_dependency("b", "a"));
  // Past the size at which a set switches to hashing, repeats must still collapse.
  for (int i = 0; i < 40; ++i) EXPECT_TRUE(graph.add_dependency("a", numbered("m", i)));
  for (int i = 0; i < 40; ++i) EXPECT_FALSE(graph.add_dependency("a", numbered("m", i)));
  const auto members = graph.dependencies_of("a");
  ASSERT_EQ(members.size(), 40u);
  EXPECT_EQ(members.front(), "m0");
  EXPECT_EQ(members.back(), "m39");
  EXPECT_EQ(as_strings(graph.files()), (Strings{"a", "b"}));
  EXPECT_FALSE(graph.contains("m0"));  // a member is not a key
}

TEST(DependencyGraphTest, GraphFromBuildStillCollapsesRepeatsOfLargeSets) {
  FileList files{"hub"};
  std::vector<std::string> many;
  for (int i = 0; i < 30; ++i) {
    files.push_back(numbered("f", i));
    many.push_back(files.back());
  }
  DependencyGraph graph = build_dependency_graph(files, {{"hub", many}});
  EXPECT_FALSE(graph.add_dependency("hub", "f29"));
  EXPECT_TRUE(graph.add_dependency("hub", "new"));
  EXPECT_EQ(graph.dependencies_of("hub").size(), 31u);
}

TEST(TopologicalSortTest, IgnoresMembersThatAreNotKeys) {
  DependencyGraph graph;
  graph.add_dependency("a", "ghost");
  graph.add_dependency("a", "b");
  graph.add_dependency("b", "ghost");
  graph.add_file("c");
  EXPECT_EQ(topological_sort(graph), (Levels{{"a", "c"}, {"b"}}));
  EXPECT_TRUE(topological_sort(DependencyGraph{}).empty());
}

TEST(TopologicalSortTest, EverythingOnCyclesFormsTheOnlyLevel) {
  DependencyGraph graph;
  graph.add_dependency("x", "y");
  graph.add_dependency("y", "z");
  graph.add_dependency("z", "x");
  EXPECT_EQ(topological_sort(graph), (Levels{{"x", "y", "z"}}));
}

TEST(TopologicalSortTest, CopiedGraphIsIndependent) {
  DependencyGraph original;
  original.add_dependency("a", "b");
  original.add_file("b");
  DependencyGraph copy = original;
  copy.add_dependency("b", "a");
  EXPECT_EQ(topological_sort(original), (Levels{{"a"}, {"b"}}));
  EXPECT_EQ(topological_sort(copy), (Levels{{"a", "b"}}));
}

TEST(GroupFilesByDependencyLevelTest, PriorityIsTheLevelIndex) {
  const auto [levels, priority_map] =
      group_files_by_dependency_level({"a", "b", "a"}, {{"a", {"b"}}});
  EXPECT_EQ(levels, (Levels{{"a"}, {"b"}}));
  EXPECT_EQ(priority_map, (PriorityMap{{"a", 0}, {"b", 1}}));

  const auto cyclic = group_files_by_dependency_level({"top", "x", "y"},
                                                      {{"top", {"x"}}, {"x", {"y"}}, {"y", {"x"}}});
  EXPECT_EQ(cyclic.levels, (Levels{{"top", "x", "y"}}));
  EXPECT_EQ(cyclic.priority_map, (PriorityMap{{"top", 0}, {"x", 0}, {"y", 0}}));

  const auto empty = group_files_by_dependency_level({}, {{"a", {}}});
  EXPECT_TRUE(empty.levels.empty());
  EXPECT_TRUE(empty.priority_map.empty());
}

struct BatchCase {
  const char* name;
  FileList files;
  DependenciesMap dependencies_map;
  std::ptrdiff_t batch_size;
  Batches expected;
};

TEST(GetParallelizableBatchesTest, BatchesTable) {
  const DependenciesMap fan_out{{"a", {"b", "c", "d"}}};
  const BatchCase cases[] = {
      {"independent files", {"a", "b", "c", "d", "e"}, {}, 2, {{"a", "b"}, {"c", "d"}, {"e"}}},
      {"a batch never spans levels", {"a", "b", "c", "d"}, fan_out, 2, {{"a"}, {"b", "c"}, {"d"}}},
      {"size above every level", {"a", "b", "c", "d"}, fan_out, 100, {{"a"}, {"b", "c", "d"}}},
      {"size one", {"a", "b", "c"}, {{"a", {"b"}}}, 1, {{"a"}, {"c"}, {"b"}}},
      {"repeated file in one batch", {"a", "b", "a", "c"}, {}, 2, {{"a", "b"}, {"c"}}},
      {"cycle files cut with their level",
       {"top", "free", "x", "y"},
       {{"top", {"x"}}, {"x", {"y"}}, {"y", {"x"}}},
       3,
       {{"top", "free", "x"}, {"y"}}},
      {"negative size gives nothing", {"a", "b"}, {}, -1, {}},
      {"empty files with size 0", {}, {}, 0, {}},
      {"empty files with negative size", {}, {}, -5, {}},
      {"largest size", {"a", "b"}, {}, PTRDIFF_MAX, {{"a", "b"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(get_parallelizable_batches(c.files, c.dependencies_map, c.batch_size), c.expected)
        << c.name;
  }
}

TEST(GetParallelizableBatchesTest, ZeroSizeWithFilesIsRejected) {
  try {
    get_parallelizable_batches({"a"}, {}, 0);
    FAIL() << "batch_size 0 accepted";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "batch_size must not be 0");
  }
}

// Large enough for the planner's tables to leave the small-block allocator.
TEST(WavePlannerScaleTest, LongChainGivesOneLevelPerFile) {
  constexpr int kCount = 200'000;
  FileList files;
  DependenciesMap map;
  for (int i = 0; i < kCount; ++i) files.push_back(numbered("src/module_", i));
  for (int i = 0; i + 1 < kCount; ++i) map.emplace_back(files[i], std::vector{files[i + 1]});
  const Batches batches = get_parallelizable_batches(files, map, 10);
  ASSERT_EQ(batches.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(batches[i], Strings{files[i]}) << i;
}

// A random graph with repeats, unlisted names, duplicate keys and cycles: the fast paths must
// agree with the composition through the public graph, and every file must be placed once after
// all of its dependents, unless it lies on or below a cycle (then it is in the last level).
TEST(WavePlannerPropertyTest, RandomGraphsAreConsistent) {
  std::mt19937 random(7);
  for (int round = 0; round < 30; ++round) {
    const int count = 1 + static_cast<int>(random() % 60);
    const auto name = [](int i) { return numbered("f", i); };
    FileList files;
    for (int i = 0; i < count; ++i) files.push_back(name(i));
    for (int i = 0; i < count / 5; ++i) files.push_back(name(static_cast<int>(random() % count)));
    DependenciesMap map;
    for (int i = 0; i < count + 3; ++i) {
      std::vector<std::string> deps;
      const int degree = static_cast<int>(random() % 5);
      for (int d = 0; d < degree; ++d) {
        // Mostly forward edges (a DAG), a few backward ones make cycles.
        const int target = random() % 10 == 0 ? static_cast<int>(random() % count)
                                              : i + 1 + static_cast<int>(random() % 5);
        deps.push_back(random() % 15 == 0 ? numbered("ext", target) : name(target));
      }
      map.emplace_back(name(static_cast<int>(random() % (count + 3))), deps);
    }
    const Levels levels = detect_independent_files(files, map);
    ASSERT_EQ(levels, topological_sort(build_dependency_graph(files, map)));
    const auto [grouped, priority] = group_files_by_dependency_level(files, map);
    ASSERT_EQ(grouped, levels);
    ASSERT_EQ(priority.size(), static_cast<std::size_t>(count));
    for (std::size_t level = 0; level < levels.size(); ++level) {
      ASSERT_FALSE(levels[level].empty());
      for (const auto& file : levels[level]) ASSERT_EQ(priority.at(file), level);
    }
    const DependencyGraph graph = build_dependency_graph(files, map);
    const std::size_t last = levels.size() - 1;
    for (const std::string& file : as_strings(graph.files())) {
      for (const std::string& dependency : as_strings(graph.dependencies_of(file))) {
        const std::size_t below = priority.at(dependency);
        ASSERT_TRUE(below > priority.at(file) || below == last) << file << " -> " << dependency;
      }
    }
    const Batches batches = get_parallelizable_batches(files, map, 3);
    std::size_t next_level = 0, at = 0;
    for (const auto& batch : batches) {
      ASSERT_TRUE(!batch.empty() && batch.size() <= 3);
      for (const auto& file : batch) {
        while (at == levels[next_level].size()) {
          ++next_level;
          at = 0;
        }
        ASSERT_EQ(file, levels[next_level][at++]);
        ASSERT_EQ(priority.at(file), priority.at(batch.front()));
      }
    }
    ASSERT_EQ(next_level, last);
    ASSERT_EQ(at, levels[last].size());
  }
}

}  // namespace
}  // namespace orvane::wave_planner

#include "core/wave_planner.hpp"

#include <stdexcept>

#include "core/indexed_graph.hpp"
#include "core/level_order.hpp"

namespace orvane::wave_planner {
namespace {

using detail::IndexedGraph;
using detail::LevelOrder;

LevelOrder sort_indexed(const IndexedGraph& graph) {
  return detail::sort_levels(
      graph.size(),
      [&graph](std::size_t node, auto&& visit) { graph.for_each_dependency(node, visit); },
      [&graph](std::size_t node) { graph.prefetch_dependencies(node); });
}

// Each level of `sorted`, in order, cut into consecutive slices of at most `slice_size` paths.
// `name_of(node)` gives a node's path (a std::string_view or std::string); `prefetch(node, step)`
// may hint the processor to load it, in two steps: 0 for what leads to the text, 1 for the text.
template <class NameOf, class Prefetch>
std::vector<std::vector<std::string>> cut_levels(const LevelOrder& sorted, std::size_t slice_size,
                                                 const NameOf& name_of, const Prefetch& prefetch) {
  constexpr std::size_t kAhead = 16;
  std::size_t slice_count = 0;
  for (std::size_t level = 0; level < sorted.level_ends.size(); ++level) {
    const std::size_t length = sorted.level_ends[level] - sorted.level_begin(level);
    slice_count += length / slice_size + (length % slice_size != 0 ? 1 : 0);
  }
  std::vector<std::vector<std::string>> slices;
  slices.reserve(slice_count);
  const std::size_t total = sorted.order.size();
  for (std::size_t level = 0; level < sorted.level_ends.size(); ++level) {
    const std::size_t end = sorted.level_ends[level];
    for (std::size_t begin = sorted.level_begin(level); begin < end;) {
      const std::size_t stop = end - begin > slice_size ? begin + slice_size : end;
      auto& slice = slices.emplace_back();
      slice.reserve(stop - begin);
      for (std::size_t k = begin; k < stop; ++k) {
        if (k + 2 * kAhead < total) prefetch(sorted.order[k + 2 * kAhead], 0);
        if (k + kAhead < total) prefetch(sorted.order[k + kAhead], 1);
        slice.emplace_back(name_of(sorted.order[k]));
      }
      begin = stop;
    }
  }
  return slices;
}

constexpr std::size_t kWholeLevel = static_cast<std::size_t>(-1);

// Sorts `graph` and cuts its levels into slices of at most `slice_size` paths, taken from
// `files`. The graph's copies of the paths and then its edges are released as soon as they are
// no longer needed, so that they never coexist with the result.
std::vector<std::vector<std::string>> sort_and_cut(IndexedGraph&& graph, const FileList& files,
                                                   std::size_t slice_size) {
  graph.names = detail::TextInterner();
  const LevelOrder sorted = sort_indexed(graph);
  graph.offsets = {};
  graph.targets = {};
  const auto& first_file = graph.first_file;
  return cut_levels(
      sorted, slice_size,
      [&](std::uint32_t node) -> const std::string& { return files[first_file[node]]; },
      [&](std::uint32_t node, int step) {
        if (step == 0) {
          __builtin_prefetch(&files[first_file[node]]);
        } else {
          __builtin_prefetch(files[first_file[node]].data());
        }
      });
}

}  // namespace

DependencyGraph build_dependency_graph(const FileList& files,
                                       const DependenciesMap& dependencies_map) {
  return detail::to_dependency_graph(detail::build_indexed_graph(files, dependencies_map));
}

Levels topological_sort(const DependencyGraph& graph) {
  const LevelOrder sorted =
      detail::sort_levels(graph.size(), [&graph](std::size_t position, auto&& visit) {
        graph.for_each_key_dependency(position, visit);
      });
  return cut_levels(
      sorted, kWholeLevel, [&graph](std::uint32_t position) { return graph.file(position); },
      [](std::uint32_t, int) {});
}

Levels detect_independent_files(const FileList& files, const DependenciesMap& dependencies_map) {
  if (files.empty()) return {};
  return sort_and_cut(detail::build_indexed_graph(files, dependencies_map), files, kWholeLevel);
}

LevelGrouping group_files_by_dependency_level(const FileList& files,
                                              const DependenciesMap& dependencies_map) {
  LevelGrouping grouping;
  grouping.levels = detect_independent_files(files, dependencies_map);
  std::size_t placed = 0;
  for (const auto& level : grouping.levels) placed += level.size();
  grouping.priority_map.reserve(placed);
  for (std::size_t level_idx = 0; level_idx < grouping.levels.size(); ++level_idx) {
    for (const std::string& file_path : grouping.levels[level_idx]) {
      grouping.priority_map[file_path] = level_idx;
    }
  }
  return grouping;
}

Batches get_parallelizable_batches(const FileList& files, const DependenciesMap& dependencies_map,
                                   std::ptrdiff_t batch_size) {
  // Levels exist exactly when there are files, so both checks can come before the sort.
  if (files.empty() || batch_size < 0) return {};
  if (batch_size == 0) throw std::invalid_argument("batch_size must not be 0");

  return sort_and_cut(detail::build_indexed_graph(files, dependencies_map), files,
                      static_cast<std::size_t>(batch_size));
}

}  // namespace orvane::wave_planner

#include "core/wave_planner.hpp"

#include <stdexcept>

#include "core/indexed_graph.hpp"
#include "core/level_order.hpp"

namespace orvane::wave_planner {
namespace {

using detail::IndexedGraph;
using detail::LevelOrder;

LevelOrder sort_indexed(const IndexedGraph& graph) {
  return detail::sort_levels(graph.size(), [&graph](std::size_t node, auto&& visit) {
    graph.for_each_dependency(node, visit);
  });
}

// `name_of(node)` gives a node's path as a std::string_view.
template <class NameOf>
Levels materialize_levels(const LevelOrder& sorted, const NameOf& name_of) {
  Levels levels(sorted.level_ends.size());
  for (std::size_t level = 0; level < levels.size(); ++level) {
    const std::size_t begin = sorted.level_begin(level);
    const std::size_t end = sorted.level_ends[level];
    levels[level].reserve(end - begin);
    for (std::size_t k = begin; k < end; ++k) levels[level].emplace_back(name_of(sorted.order[k]));
  }
  return levels;
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
  return materialize_levels(sorted,
                            [&graph](std::uint32_t position) { return graph.file(position); });
}

Levels detect_independent_files(const FileList& files, const DependenciesMap& dependencies_map) {
  if (files.empty()) return {};
  const IndexedGraph graph = detail::build_indexed_graph(files, dependencies_map);
  return materialize_levels(sort_indexed(graph),
                            [&graph](std::uint32_t node) { return graph.names.text(node); });
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

  const IndexedGraph graph = detail::build_indexed_graph(files, dependencies_map);
  const LevelOrder sorted = sort_indexed(graph);
  const auto size = static_cast<std::size_t>(batch_size);
  std::size_t batch_count = 0;
  for (std::size_t level = 0; level < sorted.level_ends.size(); ++level) {
    const std::size_t length = sorted.level_ends[level] - sorted.level_begin(level);
    batch_count += length / size + (length % size != 0 ? 1 : 0);
  }
  Batches batches;
  batches.reserve(batch_count);
  for (std::size_t level = 0; level < sorted.level_ends.size(); ++level) {
    const std::size_t end = sorted.level_ends[level];
    for (std::size_t begin = sorted.level_begin(level); begin < end;) {
      const std::size_t stop = end - begin > size ? begin + size : end;
      auto& batch = batches.emplace_back();
      batch.reserve(stop - begin);
      for (std::size_t k = begin; k < stop; ++k)
        batch.emplace_back(graph.names.text(sorted.order[k]));
      begin = stop;
    }
  }
  return batches;
}

}  // namespace orvane::wave_planner

#pragma once
// The level-by-level sort shared by the wave planner's entry points, on dense node indices.
//
// A node's in-degree counts its dependents: nodes that nothing depends on form the first level;
// a node is released into the next level when the last of its dependents has been placed.
// Nodes that are never released (cycles and what lies below them) are appended, in index
// order, to the last level, or form the only level. Linear in nodes plus edges.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/large_buffer.hpp"

namespace orvane::wave_planner::detail {

struct LevelOrder {
  LargeVector<std::uint32_t> order;     // every node once, level after level
  std::vector<std::size_t> level_ends;  // level k is order[level_ends[k - 1], level_ends[k])

  std::size_t level_begin(std::size_t level) const {
    return level == 0 ? 0 : level_ends[level - 1];
  }
};

// `for_each_dependency(node, visit)` calls `visit(dependency)` for each dependency of `node`, in
// visiting order; each dependency is a node index below `count`, at most once per node.
// `prefetch(node)` may hint the processor to load what for_each_dependency will read for `node`.
template <class ForEachDependency, class Prefetch>
LevelOrder sort_levels(std::size_t count, const ForEachDependency& for_each_dependency,
                       const Prefetch& prefetch) {
  constexpr std::size_t kAhead = 8;
  LargeVector<std::uint32_t> in_degree(count, 0);
  for (std::size_t node = 0; node < count; ++node) {
    for_each_dependency(node, [&](std::uint32_t dependency) { ++in_degree[dependency]; });
  }
  LevelOrder result;
  LargeVector<std::uint32_t>& order = result.order;
  order.reserve(count);
  for (std::size_t node = 0; node < count; ++node) {
    if (in_degree[node] == 0) order.push_back(static_cast<std::uint32_t>(node));
  }
  for (std::size_t begin = 0; begin < order.size();) {
    const std::size_t end = order.size();
    result.level_ends.push_back(end);
    for (std::size_t k = begin; k < end; ++k) {
      if (k + kAhead < end) prefetch(order[k + kAhead]);
      for_each_dependency(order[k], [&](std::uint32_t dependency) {
        if (--in_degree[dependency] == 0) order.push_back(dependency);
      });
    }
    begin = end;
  }
  if (order.size() < count) {
    for (std::size_t node = 0; node < count; ++node) {
      if (in_degree[node] > 0) order.push_back(static_cast<std::uint32_t>(node));
    }
    if (result.level_ends.empty()) {
      result.level_ends.push_back(order.size());
    } else {
      result.level_ends.back() = order.size();
    }
  }
  return result;
}

template <class ForEachDependency>
LevelOrder sort_levels(std::size_t count, const ForEachDependency& for_each_dependency) {
  return sort_levels(count, for_each_dependency, [](std::size_t) {});
}

}  // namespace orvane::wave_planner::detail

#pragma once
// IndexedGraph: the dependency graph of a file list as dense indices, the form in which the
// wave planner works.
//
// Node i is the i-th distinct path of the file list (first occurrence), whose text is
// `names.text(i)`; its dependencies are node indices in the order of first insertion while
// walking the dependencies map in order, without repeats. The graph owns copies of the paths.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/text_interner.hpp"
#include "core/wave_planner.hpp"

namespace orvane::wave_planner::detail {

struct IndexedGraph {
  TextInterner names;                // node -> path
  std::vector<std::size_t> offsets;  // dependencies of i: targets[offsets[i], offsets[i + 1])
  std::vector<std::uint32_t> targets;

  std::size_t size() const { return names.size(); }

  template <class Visit>
  void for_each_dependency(std::size_t node, Visit&& visit) const {
    for (std::size_t k = offsets[node]; k < offsets[node + 1]; ++k) visit(targets[k]);
  }
};

IndexedGraph build_indexed_graph(const FileList& files, const DependenciesMap& dependencies_map);

}  // namespace orvane::wave_planner::detail

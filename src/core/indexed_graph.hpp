#pragma once
// IndexedGraph: the dependency graph of a file list as dense indices, the form in which the
// wave planner works.
//
// Node i is the i-th distinct path of the file list (first occurrence), whose text is
// `names.text(i)` and which is entry `first_file[i]` of the file list; its dependencies are node
// indices in the order of first insertion while walking the dependencies map in order, without
// repeats. The graph owns copies of the paths; a caller that only needs the file list's texts
// afterwards may empty `names` (and the edges once sorted) to bound peak memory.

#include <cstddef>
#include <cstdint>

#include "core/large_buffer.hpp"
#include "core/text_interner.hpp"
#include "core/wave_planner.hpp"

namespace orvane::wave_planner::detail {

struct IndexedGraph {
  TextInterner names;                     // node -> path
  LargeVector<std::uint32_t> first_file;  // node -> index in the file list
  LargeVector<std::uint32_t> offsets;     // dependencies of i: targets[offsets[i], offsets[i + 1])
  LargeVector<std::uint32_t> targets;

  std::size_t size() const { return first_file.size(); }

  void prefetch_dependencies(std::size_t node) const {
    __builtin_prefetch(targets.data() + offsets[node]);
  }

  template <class Visit>
  void for_each_dependency(std::size_t node, Visit&& visit) const {
    for (std::size_t k = offsets[node]; k < offsets[node + 1]; ++k) visit(targets[k]);
  }
};

IndexedGraph build_indexed_graph(const FileList& files, const DependenciesMap& dependencies_map);

}  // namespace orvane::wave_planner::detail

#include "core/indexed_graph.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace orvane::wave_planner::detail {
namespace {

// Paths are looked up in chunks so that the interner can overlap their memory accesses.
constexpr std::size_t kChunk = 256;

// Calls `resolve(views, count)` for consecutive chunks of the texts that `each_text(emit)`
// emits, in order.
template <class EachText, class Resolve>
void in_chunks(const EachText& each_text, const Resolve& resolve) {
  std::array<std::string_view, kChunk> views;
  std::size_t count = 0;
  each_text([&](std::string_view text) {
    views[count++] = text;
    if (count == kChunk) {
      resolve(std::span<const std::string_view>(views.data(), count));
      count = 0;
    }
  });
  if (count > 0) resolve(std::span<const std::string_view>(views.data(), count));
}

}  // namespace

IndexedGraph build_indexed_graph(const FileList& files, const DependenciesMap& dependencies_map) {
  std::size_t file_bytes = 0;
  for (const std::string& file : files) file_bytes += file.size();
  IndexedGraph graph{TextInterner(files.size(), file_bytes), {}, {}};
  TextInterner& names = graph.names;
  std::array<std::uint32_t, kChunk> ids;

  in_chunks(
      [&](auto emit) {
        for (const std::string& file : files) emit(file);
      },
      [&](std::span<const std::string_view> chunk) { names.intern_all(chunk, ids); });
  const std::size_t count = names.size();

  // The node of each map entry (kNoId when its key is not listed), then the entries grouped by
  // node, keeping map order within a node, so that a key given twice still makes one set.
  std::vector<std::uint32_t> entry_node(dependencies_map.size());
  std::size_t next_entry = 0;
  in_chunks(
      [&](auto emit) {
        for (const auto& entry : dependencies_map) emit(entry.first);
      },
      [&](std::span<const std::string_view> chunk) {
        names.find_all(chunk, std::span(entry_node).subspan(next_entry, chunk.size()));
        next_entry += chunk.size();
      });
  std::vector<std::size_t> group_start(count + 1, 0);
  std::size_t listed_dependencies = 0;
  for (std::size_t e = 0; e < entry_node.size(); ++e) {
    if (entry_node[e] == kNoId) continue;
    ++group_start[entry_node[e] + 1];
    listed_dependencies += dependencies_map[e].second.size();
  }
  for (std::size_t node = 0; node < count; ++node) group_start[node + 1] += group_start[node];
  std::vector<std::uint32_t> grouped(group_start[count]);
  {
    std::vector<std::size_t> cursor(group_start.begin(), group_start.end() - 1);
    for (std::size_t e = 0; e < entry_node.size(); ++e) {
      if (entry_node[e] != kNoId) grouped[cursor[entry_node[e]]++] = static_cast<std::uint32_t>(e);
    }
  }
  std::vector<std::uint32_t>().swap(entry_node);

  // Dependencies, node after node. last_source[d] is the last node that took d, so repeats
  // collapse in O(1); offsets first count each node's targets, then become their prefix sums.
  std::vector<std::uint32_t> last_source(count, kNoId);
  graph.offsets.assign(count + 1, 0);
  graph.targets.reserve(listed_dependencies);
  std::array<std::uint32_t, kChunk> sources;
  std::size_t pending = 0;
  in_chunks(
      [&](auto emit) {
        for (std::size_t node = 0; node < count; ++node) {
          for (std::size_t g = group_start[node]; g < group_start[node + 1]; ++g) {
            for (const std::string& dependency : dependencies_map[grouped[g]].second) {
              sources[pending++] = static_cast<std::uint32_t>(node);
              emit(dependency);
            }
          }
        }
      },
      [&](std::span<const std::string_view> chunk) {
        names.find_all(chunk, ids);
        for (std::size_t k = 0; k < chunk.size(); ++k) {
          const std::uint32_t target = ids[k];
          const std::uint32_t source = sources[k];
          if (target == kNoId || last_source[target] == source) continue;
          last_source[target] = source;
          graph.targets.push_back(target);
          ++graph.offsets[source + 1];
        }
        pending = 0;
      });
  for (std::size_t node = 0; node < count; ++node) graph.offsets[node + 1] += graph.offsets[node];
  return graph;
}

}  // namespace orvane::wave_planner::detail

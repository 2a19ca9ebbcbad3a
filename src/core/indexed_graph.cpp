#include "core/indexed_graph.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvane::wave_planner::detail {
namespace {

// Paths are looked up in chunks so that the interner can overlap their memory accesses.
constexpr std::size_t kChunk = 256;
constexpr std::size_t kEntriesAhead = 4;

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
  if (files.size() >= kNoId || dependencies_map.size() >= kNoId) {
    throw std::length_error("build_indexed_graph: more than 2^32 - 2 files or map entries");
  }
  std::size_t file_bytes = 0;
  for (const std::string& file : files) file_bytes += file.size();
  IndexedGraph graph{TextInterner(files.size(), file_bytes), {}, {}, {}};
  graph.first_file.reserve(files.size());
  TextInterner& names = graph.names;
  std::array<std::uint32_t, kChunk> ids;

  std::size_t next_file = 0;
  in_chunks(
      [&](auto emit) {
        for (const std::string& file : files) emit(file);
      },
      [&](std::span<const std::string_view> chunk) {
        names.intern_all(chunk, ids);
        for (std::size_t k = 0; k < chunk.size(); ++k, ++next_file) {
          if (ids[k] == graph.first_file.size()) {
            graph.first_file.push_back(static_cast<std::uint32_t>(next_file));
          }
        }
      });
  const std::size_t count = names.size();

  // The node of each map entry (kNoId when its key is not listed), then the entries grouped by
  // node, keeping map order within a node, so that a key given twice still makes one set.
  // Hosts usually list the map in file order, so each key is first compared with the node after
  // the last one so found; only the other keys go through the table.
  LargeVector<std::uint32_t> entry_node(dependencies_map.size());
  std::array<std::uint32_t, kChunk> looked_up;
  std::size_t pending_keys = 0;
  std::uint32_t next_guess = 0;
  in_chunks(
      [&](auto emit) {
        for (std::size_t e = 0; e < dependencies_map.size(); ++e) {
          const std::string& key = dependencies_map[e].first;
          if (next_guess < count && names.text(next_guess) == key) {
            entry_node[e] = next_guess++;
            continue;
          }
          looked_up[pending_keys++] = static_cast<std::uint32_t>(e);
          emit(key);
        }
      },
      [&](std::span<const std::string_view> chunk) {
        names.find_all(chunk, ids);
        for (std::size_t k = 0; k < chunk.size(); ++k) entry_node[looked_up[k]] = ids[k];
        pending_keys = 0;
      });
  LargeVector<std::uint32_t> group_start(count + 1, 0);
  std::size_t listed_dependencies = 0;
  for (std::size_t e = 0; e < entry_node.size(); ++e) {
    if (entry_node[e] == kNoId) continue;
    ++group_start[entry_node[e] + 1];
    listed_dependencies += dependencies_map[e].second.size();
  }
  for (std::size_t node = 0; node < count; ++node) group_start[node + 1] += group_start[node];
  LargeVector<std::uint32_t> grouped(group_start[count]);
  {
    LargeVector<std::uint32_t> cursor(group_start.begin(), group_start.end() - 1);
    for (std::size_t e = 0; e < entry_node.size(); ++e) {
      if (entry_node[e] != kNoId) grouped[cursor[entry_node[e]]++] = static_cast<std::uint32_t>(e);
    }
  }
  LargeVector<std::uint32_t>().swap(entry_node);

  if (listed_dependencies >= kNoId) {
    throw std::length_error("build_indexed_graph: more than 2^32 - 2 dependency entries");
  }

  // Dependencies, node after node. last_source[d] is the last node that took d, so repeats
  // collapse in O(1); offsets first count each node's targets, then become their prefix sums.
  LargeVector<std::uint32_t> last_source(count, kNoId);
  graph.offsets.assign(count + 1, 0);
  graph.targets.reserve(listed_dependencies);
  std::array<std::uint32_t, kChunk> sources;
  std::size_t pending = 0;
  in_chunks(
      [&](auto emit) {
        for (std::size_t node = 0; node < count; ++node) {
          for (std::size_t g = group_start[node]; g < group_start[node + 1]; ++g) {
            // The lists live in blocks of their own: load a few entries ahead.
            if (g + kEntriesAhead < grouped.size()) {
              const auto& ahead = dependencies_map[grouped[g + kEntriesAhead]].second;
              if (!ahead.empty()) __builtin_prefetch(ahead.data());
            }
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

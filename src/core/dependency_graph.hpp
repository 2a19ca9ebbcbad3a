#pragma once
// DependencyGraph: an insertion-ordered map from a file path to the set of paths it depends on.
//
// Keys keep the order in which they were first added. Each dependency set keeps its members
// in the order of their first insertion, and every walk over a set follows that order, so
// results built from a graph are the same run after run. A member need not be a key. Paths are
// compared as plain texts, byte for byte. Views returned by the accessors point into the graph
// and stay valid until the graph is next modified or destroyed. Copyable and movable; not
// thread-safe for writes, concurrent reads of a const graph are safe.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/text_interner.hpp"

namespace orvane::wave_planner {

class DependencyGraph;
namespace detail {
struct IndexedGraph;
DependencyGraph to_dependency_graph(IndexedGraph&& graph);
}  // namespace detail

class DependencyGraph {
 public:
  DependencyGraph() = default;

  // Adds `file` as a key with an empty set, at the end of the key order; nothing when it is
  // already a key. Returns whether it was added.
  bool add_file(std::string_view file);

  // Adds `dependency` to the set of `file`, adding `file` as a key first when it is not one.
  // Returns whether the set gained a member (false when it already held `dependency`).
  bool add_dependency(std::string_view file, std::string_view dependency);

  bool contains(std::string_view file) const { return key_position(file) != detail::kNoId; }
  std::size_t size() const { return keys_.size(); }
  bool empty() const { return keys_.empty(); }

  // The key at `position` (0 is the first added). REQUIRES: position < size().
  std::string_view file(std::size_t position) const { return text(keys_[position]); }

  // The keys, in insertion order.
  std::vector<std::string_view> files() const;

  // The set of `file`, in visiting order. Throws std::out_of_range when `file` is not a key.
  std::vector<std::string_view> dependencies_of(std::string_view file) const;

  // Calls `visit(dependency_position)` for each member of the set of the key at `position` that
  // is itself a key, in visiting order, with the member's key position; members that are not
  // keys are skipped. REQUIRES: position < size().
  template <class Visit>
  void for_each_key_dependency(std::size_t position, Visit&& visit) const {
    for (const std::uint32_t member : members_[position]) {
      const std::uint32_t member_position = key_position_of_name_[member];
      if (member_position != detail::kNoId) visit(member_position);
    }
  }

 private:
  friend DependencyGraph detail::to_dependency_graph(detail::IndexedGraph&& graph);

  std::string_view text(std::uint32_t name) const { return names_.text(name); }
  std::uint32_t intern_name(std::string_view path);
  std::uint32_t key_position(std::string_view file) const;
  std::uint32_t ensure_key(std::uint32_t name);

  // Every distinct path seen, as a key or a member, is a "name" with a dense id.
  detail::TextInterner names_;
  std::vector<std::uint32_t> key_position_of_name_;  // kNoId for a name that is no key
  std::vector<std::uint32_t> keys_;                  // name id of each key, in key order
  std::vector<std::vector<std::uint32_t>> members_;  // name ids of each key's set
  // Sets past a few members also keep a hash set of their names, so that adding stays O(1).
  std::unordered_map<std::uint32_t, std::unordered_set<std::uint32_t>> large_sets_;
};

}  // namespace orvane::wave_planner

#include "core/dependency_graph.hpp"

#include <algorithm>
#include <stdexcept>

#include "core/indexed_graph.hpp"

namespace orvane::wave_planner {
namespace {

// Below this size a linear scan of a set beats hashing.
constexpr std::size_t kLargeSet = 16;

}  // namespace

std::uint32_t DependencyGraph::intern_name(std::string_view path) {
  const std::uint32_t name = names_.intern(path);
  if (name == key_position_of_name_.size()) key_position_of_name_.push_back(detail::kNoId);
  return name;
}

std::uint32_t DependencyGraph::key_position(std::string_view file) const {
  const std::uint32_t name = names_.find(file);
  return name == detail::kNoId ? detail::kNoId : key_position_of_name_[name];
}

std::uint32_t DependencyGraph::ensure_key(std::uint32_t name) {
  std::uint32_t& position = key_position_of_name_[name];
  if (position == detail::kNoId) {
    if (keys_.size() >= detail::kNoId - 1)
      throw std::length_error("DependencyGraph: too many files");
    position = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back(name);
    members_.emplace_back();
  }
  return position;
}

bool DependencyGraph::add_file(std::string_view file) {
  const std::size_t before = keys_.size();
  ensure_key(intern_name(file));
  return keys_.size() != before;
}

bool DependencyGraph::add_dependency(std::string_view file, std::string_view dependency) {
  const std::uint32_t position = ensure_key(intern_name(file));
  const std::uint32_t member = intern_name(dependency);
  std::vector<std::uint32_t>& members = members_[position];
  if (members.size() < kLargeSet) {
    if (std::find(members.begin(), members.end(), member) != members.end()) return false;
    members.push_back(member);
    if (members.size() == kLargeSet) large_sets_[position].insert(members.begin(), members.end());
    return true;
  }
  if (!large_sets_[position].insert(member).second) return false;
  members.push_back(member);
  return true;
}

std::vector<std::string_view> DependencyGraph::files() const {
  std::vector<std::string_view> result;
  result.reserve(keys_.size());
  for (const std::uint32_t name : keys_) result.push_back(text(name));
  return result;
}

std::vector<std::string_view> DependencyGraph::dependencies_of(std::string_view file) const {
  const std::uint32_t position = key_position(file);
  if (position == detail::kNoId) {
    throw std::out_of_range("DependencyGraph: not a key: " + std::string(file));
  }
  std::vector<std::string_view> result;
  result.reserve(members_[position].size());
  for (const std::uint32_t member : members_[position]) result.push_back(text(member));
  return result;
}

namespace detail {

DependencyGraph to_dependency_graph(IndexedGraph&& indexed) {
  DependencyGraph graph;
  const std::size_t count = indexed.size();
  graph.key_position_of_name_.resize(count);
  graph.keys_.resize(count);
  graph.members_.resize(count);
  for (std::size_t node = 0; node < count; ++node) {
    const auto id = static_cast<std::uint32_t>(node);
    graph.key_position_of_name_[node] = id;
    graph.keys_[node] = id;
    auto& members = graph.members_[node];
    members.assign(
        indexed.targets.begin() + static_cast<std::ptrdiff_t>(indexed.offsets[node]),
        indexed.targets.begin() + static_cast<std::ptrdiff_t>(indexed.offsets[node + 1]));
    if (members.size() >= kLargeSet) {
      graph.large_sets_[id].insert(members.begin(), members.end());
    }
  }
  graph.names_ = std::move(indexed.names);
  return graph;
}

}  // namespace detail
}  // namespace orvane::wave_planner

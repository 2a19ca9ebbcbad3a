#include "services/bug_registry.hpp"

#include <utility>

namespace orvane {

void BugRegistry::store(BugPtr bug) {
  const auto [slot, inserted] = position_by_id_.try_emplace(bug->id, records_.size());
  if (inserted) {
    records_.push_back(std::move(bug));
  } else {
    records_[slot->second] = std::move(bug);
  }
}

BugPtr BugRegistry::find(const std::string& id) const {
  const auto slot = position_by_id_.find(id);
  return slot == position_by_id_.end() ? nullptr : records_[slot->second];
}

}  // namespace orvane

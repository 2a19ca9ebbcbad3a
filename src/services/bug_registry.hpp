#pragma once
// BugRegistry: bugs by identifier, in order of first registration.
//
// Storing a bug under an identifier already present replaces the record and keeps the
// identifier at its old place; nothing is ever removed. Records are shared (BugPtr), never
// copied. Not thread-safe: one thread at a time.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "models/analysis_records.hpp"

namespace orvane {

class BugRegistry {
 public:
  // Registers `bug` under `bug->id`. REQUIRES: `bug` is not null.
  void store(BugPtr bug);

  // The record registered under `id`, or null.
  BugPtr find(const std::string& id) const;

  // The registered records, in order of first registration.
  const std::vector<BugPtr>& records() const { return records_; }
  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }

 private:
  std::vector<BugPtr> records_;
  std::unordered_map<std::string, std::size_t> position_by_id_;
};

}  // namespace orvane

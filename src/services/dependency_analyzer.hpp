#pragma once
// DependencyAnalyzer: what the agent and the bug impact analysis ask of the project's import
// graph.
//
// Calls are synchronous and may touch the file system; failures throw. An implementation must
// allow concurrent calls from several analyses in flight on one event loop (calls never overlap
// in time there, but they interleave).

#include <map>
#include <string>
#include <vector>

#include "models/analysis_records.hpp"

namespace orvane {

// Files that depend on a file, by depth: depth 1 holds its direct importers. A depth with no
// file may be missing.
using DependentsByDepth = std::map<int, std::vector<std::string>>;

class DependencyAnalyzer {
 public:
  virtual ~DependencyAnalyzer() = default;

  // The imports of `file_path` (whose whole text is `content`), in source order.
  virtual std::vector<DependencyRecord> extract_dependencies(const std::string& file_path,
                                                             const std::string& content,
                                                             const std::string& language) const = 0;

  // The files depending on `file_path`, up to `max_depth` levels away.
  virtual DependentsByDepth get_dependents(const std::string& file_path, int max_depth) const = 0;
};

}  // namespace orvane

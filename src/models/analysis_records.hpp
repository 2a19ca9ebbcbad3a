#pragma once
// The records the analyses exchange: one file's analysis, its imports, its security issues,
// the bugs found in it and how far each bug reaches.
//
// Plain values with the defaults the analyses rely on. Bugs are shared (std::shared_ptr)
// between the bug registry, the lists it returns and FileAnalysis::bugs, so that a change
// made through one is seen through all.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// One import of a file, as the dependency analyzer resolved it.
struct DependencyRecord {
  bool exists = false;        // the import was resolved to a file
  std::string resolved_path;  // the imported file; may be empty
  int line_number = 0;        // the line of the import in the importing file
  std::string import_path;    // the import as written in the source
};

// A security issue the host found in a file.
struct SecurityIssue {
  std::optional<int> line_number;
  std::string description;
  std::string severity;  // passed on unchanged
  std::string recommendation;
};

struct BugIdentifier {
  std::string id;  // "BUG-" and 8 upper-case hexadecimal digits
  std::string file_path;
  std::optional<int> line_number;
  std::string bug_type;  // "security", "risk" or "inconsistency"
  std::string severity;
  std::string description;
  std::string recommendation;
  std::vector<std::string> impacted_files;
  bool fixed = false;
  std::optional<std::string> fixed_at;
  std::optional<std::string> fix_summary;
};

using BugPtr = std::shared_ptr<BugIdentifier>;

struct FileAnalysis {
  std::string file_path;
  std::string language;
  std::string objective;
  std::vector<std::string> strengths;
  std::vector<std::string> risks;
  std::vector<std::string> suggestions;
  std::string analysis_markdown;
  bool success = true;
  std::vector<DependencyRecord> dependencies;
  std::vector<std::string> inconsistencies;
  std::optional<std::string> error;
  std::vector<SecurityIssue> security_issues;
  std::vector<BugPtr> bugs;
};

using ImpactLink = std::array<std::string, 2>;

struct ImpactAnalysis {
  std::string bug_id;
  std::string source_file;
  std::vector<std::string> directly_impacted;
  std::vector<std::string> transitively_impacted;
  std::vector<ImpactLink> impact_chain;
};

}  // namespace orvane

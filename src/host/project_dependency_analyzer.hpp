#pragma once
// ProjectDependencyAnalyzer: the project's import graph, for the agent (the imports of one
// file), the bug impact analysis (who depends on a file) and the scheduling of analyses (the
// dependencies of every file).
//
// Which import forms each language recognises and how they resolve: host/import_scanners.hpp
// and host/import_resolver.hpp. Paths handed out are the root as given (normalised) joined
// with the path under it ("." as root gives "src/a.py"); files outside the root are given as
// absolute paths. Paths handed in may take any form that names the same file (relative to the
// working directory or absolute).
//
// scan_project blocks on the file system and must not overlap other calls; the const
// operations only read the graph and may run from several threads.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/wave_planner.hpp"
#include "host/project_files.hpp"
#include "services/dependency_analyzer.hpp"

namespace orvane {

struct ProjectDependencyOptions {
  std::string root = ".";
  // Searched for C and C++ includes and Python absolute imports after the root; relative
  // entries are taken against the root.
  std::vector<std::string> search_directories;
  // Directories of these names are not scanned, wherever they are.
  std::vector<std::string> skipped_directory_names = {
      ".git",    ".hg",         ".svn",          ".analysis_temp", "node_modules", "build",
      "dist",    ".dart_tool",  "__pycache__",   ".venv",          "venv",         ".tox",
      ".gradle", ".mypy_cache", ".pytest_cache", ".next",          ".idea"};
};

// Each scanned source file in scan order, with the files its resolved imports name (each once,
// in source order): the map the scheduling functions take.
using DependenciesMap = wave_planner::DependenciesMap;

struct ScanSummary {
  std::size_t files_listed = 0;  // every file under the root outside skipped directories
  std::size_t source_files = 0;  // files read and scanned for imports
  std::size_t unreadable_files = 0;
  std::size_t bytes_read = 0;
  std::size_t imports = 0;     // internal imports found
  std::size_t unresolved = 0;  // of which do not resolve
};

class ProjectDependencyAnalyzer final : public DependencyAnalyzer {
 public:
  // Takes the root against the working directory now; scans nothing yet.
  explicit ProjectDependencyAnalyzer(ProjectDependencyOptions options = {});

  // Lists the root, reads each source file once (by extension, see source_languages.hpp) and
  // builds the forward and reverse graphs, replacing those of an earlier scan. A file that
  // cannot be read is left out. Throws std::filesystem::filesystem_error when the root
  // cannot be listed; the earlier graph then stays.
  ScanSummary scan_project();

  // The internal imports of `content`, read with the syntax of `language` (an agent language
  // name; other names fall back on the extension of `file_path`). Resolution uses the listing
  // of the last scan, or the file system before any scan.
  std::vector<DependencyRecord> extract_dependencies(const std::string& file_path,
                                                     const std::string& content,
                                                     const std::string& language) const override;

  // Files importing `file_path` directly (depth 1) or through others, up to `max_depth`: each
  // file once, at its smallest depth, never `file_path` itself. Within a depth, files come in
  // breadth-first order: the importers of each file of the depth before, in scan order.
  // Empty for a file nobody imports, a file not in the graph, or a `max_depth` below 1.
  DependentsByDepth get_dependents(const std::string& file_path, int max_depth) const override;

  // The scanned source files, in scan order.
  const std::vector<std::string>& files() const { return source_files_; }
  const DependenciesMap& dependencies_map() const { return dependencies_map_; }

 private:
  std::string shown_path(const std::string& absolute) const;

  std::string root_shown_;  // the root as given, normalised
  std::string root_;        // absolute
  std::vector<std::string> search_directories_;
  std::vector<std::string> skipped_directory_names_;

  ProjectFiles listing_;
  std::vector<std::string> source_files_;
  DependenciesMap dependencies_map_;
  // Every file met in the graph (scanned or imported), by absolute path.
  std::unordered_map<std::string, std::size_t> node_by_path_;
  std::vector<std::string> node_shown_;
  std::vector<std::vector<std::size_t>> importers_;  // the reverse graph, by node
};

}  // namespace orvane

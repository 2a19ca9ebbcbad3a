#include "host/project_dependency_analyzer.hpp"

#include <algorithm>
#include <exception>
#include <unordered_set>

#include "host/import_resolver.hpp"
#include "host/import_scanners.hpp"
#include "host/source_languages.hpp"
#include "text/paths.hpp"
#include "text/read_text.hpp"

namespace orvane {
namespace {

using source_languages::ImportSyntax;

std::vector<import_scanners::ImportStatement> scan_imports(ImportSyntax syntax,
                                                           std::string_view content) {
  switch (syntax) {
    case ImportSyntax::python:
      return import_scanners::scan_python_imports(content);
    case ImportSyntax::javascript:
      return import_scanners::scan_javascript_imports(content);
    case ImportSyntax::c_family:
      return import_scanners::scan_c_includes(content);
    case ImportSyntax::dart:
      return import_scanners::scan_dart_imports(content);
    case ImportSyntax::none:
      break;
  }
  return {};
}

}  // namespace

ProjectDependencyAnalyzer::ProjectDependencyAnalyzer(ProjectDependencyOptions options)
    : root_shown_(text::normalize_path_text(options.root)),
      root_(text::absolute_path_text(options.root)),
      skipped_directory_names_(std::move(options.skipped_directory_names)) {
  for (const std::string& directory : options.search_directories) {
    search_directories_.push_back(directory.starts_with('/')
                                      ? text::absolute_path_text(directory)
                                      : text::absolute_path_text(root_ + "/" + directory));
  }
}

std::string ProjectDependencyAnalyzer::shown_path(const std::string& absolute) const {
  if (root_ == "/") {
    return root_shown_ == "/" ? absolute : text::normalize_path_text(root_shown_ + absolute);
  }
  if (!(absolute.starts_with(root_) && absolute.size() > root_.size() &&
        absolute[root_.size()] == '/')) {
    return absolute;
  }
  const std::string_view under = std::string_view(absolute).substr(root_.size() + 1);
  if (root_shown_ == ".") return std::string(under);
  std::string shown = root_shown_;
  shown.push_back('/');
  shown.append(under);
  return shown;
}

ScanSummary ProjectDependencyAnalyzer::scan_project() {
  ProjectFiles listing = ProjectFiles::list(root_, skipped_directory_names_);
  ScanSummary summary;
  summary.files_listed = listing.files().size();

  const import_resolver::ResolverContext context{root_, search_directories_, &listing};
  import_resolver::DartPackages packages(context);

  std::vector<std::string> source_files;
  DependenciesMap dependencies_map;
  std::unordered_map<std::string, std::size_t> node_by_path;
  std::vector<std::string> node_shown;
  std::vector<std::vector<std::size_t>> importers;
  const auto node_of = [&](const std::string& path) {
    const auto [slot, inserted] = node_by_path.try_emplace(path, node_shown.size());
    if (inserted) {
      node_shown.push_back(shown_path(path));
      importers.emplace_back();
    }
    return slot->second;
  };

  std::string content;
  for (const std::string& file : listing.files()) {
    const ImportSyntax syntax = source_languages::syntax_of_path(file);
    if (syntax == ImportSyntax::none) continue;
    try {
      content = text::read_file_bytes(file);
    } catch (const std::exception&) {
      ++summary.unreadable_files;
      continue;
    }
    ++summary.source_files;
    summary.bytes_read += content.size();

    const auto resolved = import_resolver::resolve_imports(
        syntax, file, scan_imports(syntax, content), context, packages);
    const std::size_t importer = node_of(file);
    std::vector<std::string> dependencies;
    std::vector<std::size_t> seen;
    for (const import_resolver::ResolvedImport& import : resolved) {
      ++summary.imports;
      if (!import.target) {
        ++summary.unresolved;
        continue;
      }
      const std::size_t target = node_of(*import.target);
      if (std::find(seen.begin(), seen.end(), target) != seen.end()) continue;
      seen.push_back(target);
      dependencies.push_back(node_shown[target]);
      importers[target].push_back(importer);
    }
    source_files.push_back(node_shown[importer]);
    dependencies_map.emplace_back(node_shown[importer], std::move(dependencies));
  }

  listing_ = std::move(listing);
  source_files_ = std::move(source_files);
  dependencies_map_ = std::move(dependencies_map);
  node_by_path_ = std::move(node_by_path);
  node_shown_ = std::move(node_shown);
  importers_ = std::move(importers);
  return summary;
}

std::vector<DependencyRecord> ProjectDependencyAnalyzer::extract_dependencies(
    const std::string& file_path, const std::string& content, const std::string& language) const {
  const ImportSyntax syntax = source_languages::syntax_of(language, file_path);
  if (syntax == ImportSyntax::none || file_path.empty()) return {};
  const import_resolver::ResolverContext context{root_, search_directories_, &listing_};
  import_resolver::DartPackages packages(context);
  const auto resolved =
      import_resolver::resolve_imports(syntax, text::absolute_path_text(file_path),
                                       scan_imports(syntax, content), context, packages);

  std::vector<DependencyRecord> records;
  records.reserve(resolved.size());
  for (const import_resolver::ResolvedImport& import : resolved) {
    DependencyRecord record;
    record.exists = import.target.has_value();
    record.resolved_path = import.target ? shown_path(*import.target) : std::string();
    record.line_number = import.line_number;
    record.import_path = import.import_path;
    records.push_back(std::move(record));
  }
  return records;
}

DependentsByDepth ProjectDependencyAnalyzer::get_dependents(const std::string& file_path,
                                                            int max_depth) const {
  DependentsByDepth dependents;
  if (max_depth < 1 || file_path.empty()) return dependents;
  const auto start = node_by_path_.find(text::absolute_path_text(file_path));
  if (start == node_by_path_.end()) return dependents;

  std::unordered_set<std::size_t> visited = {start->second};
  std::vector<std::size_t> frontier = {start->second};
  for (int depth = 1; depth <= max_depth && !frontier.empty(); ++depth) {
    std::vector<std::size_t> next;
    for (const std::size_t node : frontier) {
      for (const std::size_t importer : importers_[node]) {
        if (visited.insert(importer).second) next.push_back(importer);
      }
    }
    if (next.empty()) break;
    std::vector<std::string>& level = dependents[depth];
    level.reserve(next.size());
    for (const std::size_t node : next) level.push_back(node_shown_[node]);
    frontier = std::move(next);
  }
  return dependents;
}

}  // namespace orvane

#pragma once
// Resolution of the import statements of one file to files of the project.
//
// Result: in statement order, one entry per project-internal import, resolved or not; imports
// of the standard library and of third-party packages are left out. Paths are absolute,
// lexically normalised texts. Reads pubspec.yaml files through DartPackages; otherwise asks
// only ProjectFiles. Not thread-safe because of the DartPackages cache it is given.
//
// Internal imports, by language:
// - Python: relative imports (leading dots, from the file's package); absolute imports whose
//   first name is a module or package found in the root, the file's directory or a search
//   directory. `a.b` resolves to a/b.py or a/b/__init__.py; a directory without __init__.py
//   (a namespace package) is not listed itself. For `from m import n`, a name that is a
//   sub-module of m is listed as "m.n" after m; in a namespace package every name must be one.
// - JavaScript and TypeScript: specifiers starting with "./" or "../" (or "." and ".."), tried
//   as written, then with .ts .tsx .d.ts .js .jsx .mjs .cjs .json, then with .js/.jsx/.mjs/.cjs
//   swapped for .ts/.tsx/.mts/.cts, then as a directory with an index file of those extensions.
//   A "?query" or "#hash" suffix is ignored. Bare specifiers are packages.
// - C and C++: "f" relative to the file, then to the root, then to the search directories, and
//   listed even when unresolved; <f> relative to the root and the search directories, listed
//   only when it resolves.
// - Dart: URIs without a scheme, relative to the file; "package:NAME/path" when NAME is the
//   package of the nearest pubspec.yaml (in the file's directory or above, up to the root),
//   resolving to lib/path beside that pubspec.yaml. "dart:" and other packages are external.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/import_scanners.hpp"
#include "host/project_files.hpp"
#include "host/source_languages.hpp"

namespace orvane::import_resolver {

struct ResolvedImport {
  std::string import_path;  // as written in the source
  int line_number = 0;
  std::optional<std::string> target;  // the file imported; absent when it does not resolve
};

// Where imports are looked for. `root` and `search_directories` are absolute.
struct ResolverContext {
  std::string root;
  std::vector<std::string> search_directories;
  const ProjectFiles* files = nullptr;  // REQUIRES: not null
};

// The Dart package owning each directory, from the nearest pubspec.yaml, remembered per
// directory. A pubspec.yaml that cannot be read, or has no top-level `name:`, names nothing.
class DartPackages {
 public:
  struct Package {
    std::string name;
    std::string directory;  // where its pubspec.yaml lies
  };

  explicit DartPackages(const ResolverContext& context) : context_(context) {}
  const Package* package_for(const std::string& directory);

 private:
  const ResolverContext& context_;
  std::map<std::string, std::optional<Package>> by_directory_;
};

// The internal imports of the file at `file` (absolute), read with `syntax`.
std::vector<ResolvedImport> resolve_imports(
    source_languages::ImportSyntax syntax, const std::string& file,
    const std::vector<import_scanners::ImportStatement>& statements, const ResolverContext& context,
    DartPackages& packages);

}  // namespace orvane::import_resolver

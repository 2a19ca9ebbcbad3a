#include "host/import_resolver.hpp"

#include <array>
#include <string_view>

#include "text/paths.hpp"
#include "text/read_text.hpp"
#include "text/unicode.hpp"

namespace orvane::import_resolver {
namespace {

using import_scanners::ImportStatement;
using source_languages::ImportSyntax;

std::string parent_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

// True when `relative` holds an empty, "." or ".." segment, so that joining it needs folding.
bool needs_folding(std::string_view relative) {
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view segment = relative.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return true;
    start = end + 1;
  }
  return false;
}

// `relative` taken against the absolute directory `directory`, normalised.
std::string join(std::string_view directory, std::string_view relative) {
  if (relative.starts_with('/')) return text::absolute_path_text(relative);
  std::string joined(directory);
  if (joined.back() != '/') joined.push_back('/');
  joined.append(relative);
  return needs_folding(relative) ? text::absolute_path_text(joined) : joined;
}

void add_unique(std::vector<std::string>& list, const std::string& item) {
  for (const std::string& existing : list) {
    if (existing == item) return;
  }
  list.push_back(item);
}

class Resolver {
 public:
  Resolver(const std::string& file, const ResolverContext& context, DartPackages& packages)
      : file_directory_(parent_of(file)),
        context_(context),
        files_(*context.files),
        packages_(packages) {}

  void resolve(ImportSyntax syntax, const ImportStatement& statement) {
    switch (syntax) {
      case ImportSyntax::python:
        return python(statement);
      case ImportSyntax::javascript:
        return javascript(statement);
      case ImportSyntax::c_family:
        return c_family(statement);
      case ImportSyntax::dart:
        return dart(statement);
      case ImportSyntax::none:
        return;
    }
  }

  std::vector<ResolvedImport> take() { return std::move(found_); }

 private:
  void add(std::string import_path, int line, std::optional<std::string> target) {
    found_.push_back({std::move(import_path), line, std::move(target)});
  }

  std::optional<std::string> first_file(std::initializer_list<std::string> candidates) const {
    for (const std::string& candidate : candidates) {
      if (files_.is_file(candidate)) return candidate;
    }
    return std::nullopt;
  }

  // The file of the Python module at `module` (a path without extension).
  std::optional<std::string> python_module_file(const std::string& module) const {
    return first_file({module + ".py", module + "/__init__.py"});
  }

  void python(const ImportStatement& statement) {
    const std::string& target = statement.target;
    const std::size_t dots = target.find_first_not_of('.') == std::string::npos
                                 ? target.size()
                                 : target.find_first_not_of('.');
    std::string module_path(target.substr(dots));
    for (char& c : module_path) {
      if (c == '.') c = '/';
    }

    std::vector<std::string> bases;
    if (dots > 0) {
      std::string base = file_directory_;
      for (std::size_t level = 1; level < dots; ++level) base = parent_of(base);
      bases.push_back(base);
    } else {
      const std::string first_name = module_path.substr(0, module_path.find('/'));
      std::vector<std::string> candidates = {context_.root};
      add_unique(candidates, file_directory_);
      for (const std::string& directory : context_.search_directories) {
        add_unique(candidates, directory);
      }
      for (const std::string& base : candidates) {
        const std::string top = join(base, first_name);
        if (files_.is_file(top + ".py") || files_.is_directory(top)) bases.push_back(base);
      }
      if (bases.empty()) return;  // the standard library or an installed package
    }

    // The first base where the module exists wins; otherwise the first base is reported.
    const auto module_at = [&](const std::string& base) {
      return module_path.empty() ? base : join(base, module_path);
    };
    // A module path names a file module (m.py) or a package (m/__init__.py); the empty path
    // of `from . import x` names the package directory itself.
    const auto file_of = [&](const std::string& module) {
      return module_path.empty() ? first_file({module + "/__init__.py"})
                                 : python_module_file(module);
    };
    std::string module = module_at(bases.front());
    for (const std::string& base : bases) {
      const std::string candidate = module_at(base);
      if (file_of(candidate) || files_.is_directory(candidate)) {
        module = candidate;
        break;
      }
    }

    const std::optional<std::string> module_file = file_of(module);
    const bool package_directory = files_.is_directory(module);
    if (module_file) {
      add(target, statement.line_number, module_file);
    } else if (!package_directory) {
      add(target, statement.line_number, std::nullopt);
      return;
    }
    if (!package_directory) return;
    const bool namespace_package = !module_file;
    for (const std::string& name : statement.names) {
      if (name == "*") continue;
      const std::string sub = join(module, name);
      std::optional<std::string> sub_file = python_module_file(sub);
      if (sub_file || namespace_package) {
        const std::string written = target.ends_with('.') ? target + name : target + "." + name;
        add(written, statement.line_number, std::move(sub_file));
      }
    }
  }

  void javascript(const ImportStatement& statement) {
    std::string_view specifier = statement.target;
    const bool relative = specifier == "." || specifier == ".." || specifier.starts_with("./") ||
                          specifier.starts_with("../");
    if (!relative) return;
    specifier = specifier.substr(0, specifier.find_first_of("?#"));
    const std::string base = join(file_directory_, specifier);

    constexpr std::array<std::string_view, 8> kExtensions = {".ts",  ".tsx", ".d.ts", ".js",
                                                             ".jsx", ".mjs", ".cjs",  ".json"};
    constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kSwaps = {
        {{".js", ".ts"}, {".jsx", ".tsx"}, {".mjs", ".mts"}, {".cjs", ".cts"}}};
    std::optional<std::string> found;
    if (files_.is_file(base)) found = base;
    for (std::size_t i = 0; !found && i < kExtensions.size(); ++i) {
      const std::string candidate = base + std::string(kExtensions[i]);
      if (files_.is_file(candidate)) found = candidate;
    }
    for (std::size_t i = 0; !found && i < kSwaps.size(); ++i) {
      if (!base.ends_with(kSwaps[i].first)) continue;
      const std::string candidate =
          base.substr(0, base.size() - kSwaps[i].first.size()) + std::string(kSwaps[i].second);
      if (files_.is_file(candidate)) found = candidate;
    }
    for (std::size_t i = 0; !found && i < kExtensions.size(); ++i) {
      const std::string candidate = join(base, "index" + std::string(kExtensions[i]));
      if (files_.is_file(candidate)) found = candidate;
    }
    add(statement.target, statement.line_number, std::move(found));
  }

  void c_family(const ImportStatement& statement) {
    const std::string& header = statement.target;
    const auto try_base = [&](const std::string& base) -> bool {
      std::string candidate = join(base, header);
      if (!files_.is_file(candidate)) return false;
      add(header, statement.line_number, std::move(candidate));
      return true;
    };
    if (!statement.angled && try_base(file_directory_)) return;
    if (try_base(context_.root)) return;
    for (const std::string& directory : context_.search_directories) {
      if (try_base(directory)) return;
    }
    if (!statement.angled) add(header, statement.line_number, std::nullopt);
  }

  void dart(const ImportStatement& statement) {
    const std::string& uri = statement.target;
    constexpr std::string_view kPackage = "package:";
    if (uri.starts_with(kPackage)) {
      const std::size_t slash = uri.find('/', kPackage.size());
      if (slash == std::string::npos) return;
      const std::string name = uri.substr(kPackage.size(), slash - kPackage.size());
      const DartPackages::Package* own = packages_.package_for(file_directory_);
      if (own == nullptr || own->name != name) return;
      std::string candidate = join(join(own->directory, "lib"), uri.substr(slash + 1));
      const bool exists = files_.is_file(candidate);
      add(uri, statement.line_number, exists ? std::optional(std::move(candidate)) : std::nullopt);
      return;
    }
    const std::size_t colon = uri.find(':');
    if (colon != std::string::npos && uri.find('/') > colon) return;  // dart:, http:, ...
    std::string candidate = join(file_directory_, uri);
    const bool exists = files_.is_file(candidate);
    add(uri, statement.line_number, exists ? std::optional(std::move(candidate)) : std::nullopt);
  }

  std::string file_directory_;
  const ResolverContext& context_;
  const ProjectFiles& files_;
  DartPackages& packages_;
  std::vector<ResolvedImport> found_;
};

std::optional<std::string> pubspec_name(const std::string& pubspec) {
  std::string content;
  try {
    content = text::read_text_file(pubspec, text::InvalidUtf8::replace);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string_view line = std::string_view(content).substr(start, end - start);
    start = end + 1;
    if (!line.starts_with("name:")) continue;
    line.remove_prefix(5);
    line = line.substr(0, line.find('#'));
    line = text::trim(line);
    if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') &&
        line.back() == line.front()) {
      line = line.substr(1, line.size() - 2);
    }
    if (line.empty()) return std::nullopt;
    return std::string(line);
  }
  return std::nullopt;
}

}  // namespace

const DartPackages::Package* DartPackages::package_for(const std::string& directory) {
  if (const auto known = by_directory_.find(directory); known != by_directory_.end()) {
    return known->second ? &*known->second : nullptr;
  }
  std::optional<Package> package;
  const std::string pubspec = join(directory, "pubspec.yaml");
  if (context_.files->is_file(pubspec)) {
    if (std::optional<std::string> name = pubspec_name(pubspec)) {
      package = Package{std::move(*name), directory};
    }
  } else if (directory != context_.root && directory != "/" && directory != ".") {
    if (const Package* above = package_for(parent_of(directory))) package = *above;
  }
  const auto [slot, inserted] = by_directory_.emplace(directory, std::move(package));
  return slot->second ? &*slot->second : nullptr;
}

std::vector<ResolvedImport> resolve_imports(ImportSyntax syntax, const std::string& file,
                                            const std::vector<ImportStatement>& statements,
                                            const ResolverContext& context,
                                            DartPackages& packages) {
  Resolver resolver(file, context, packages);
  for (const ImportStatement& statement : statements) resolver.resolve(syntax, statement);
  return resolver.take();
}

}  // namespace orvane::import_resolver

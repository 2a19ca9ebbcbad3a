#include "host/project_dependency_analyzer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "core/wave_planner.hpp"
#include "host/source_languages.hpp"
#include "support/temp_dir.hpp"
#include "text/paths.hpp"

namespace orvane {
namespace {

using Files = std::vector<std::string>;

class ProjectDependencyAnalyzerTest : public ::testing::Test {
 protected:
  testing::TempDir project;
  std::string root = project.path().string();

  std::string at(const std::string& relative) const { return root + "/" + relative; }

  ProjectDependencyAnalyzer analyzer(std::vector<std::string> search_directories = {}) const {
    ProjectDependencyOptions options;
    options.root = root;
    options.search_directories = std::move(search_directories);
    return ProjectDependencyAnalyzer(options);
  }

  // "line:import_path -> relative resolved path" (or "-> missing").
  Files described(const std::vector<DependencyRecord>& records) const {
    Files out;
    for (const DependencyRecord& record : records) {
      std::string target = "missing";
      if (record.exists) target = text::relative_path_text(record.resolved_path, root);
      EXPECT_EQ(record.exists, !record.resolved_path.empty()) << record.import_path;
      out.push_back(std::to_string(record.line_number) + ":" + record.import_path + " -> " +
                    target);
    }
    return out;
  }

  Files extract(const ProjectDependencyAnalyzer& graph, const std::string& relative,
                const std::string& language) const {
    const std::string content = read(relative);
    return described(graph.extract_dependencies(at(relative), content, language));
  }

  std::string read(const std::string& relative) const {
    std::ifstream in(project.path() / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(ProjectDependencyAnalyzerTest, PythonImportsResolveModulesPackagesAndRelativeNames) {
  project.write("pkg/__init__.py", "");
  project.write("pkg/util.py", "");
  project.write("pkg/sub/__init__.py", "");
  project.write("pkg/sub/deep.py",
                "from .. import util, helper\nfrom ..missing import y\nfrom . import *\n");
  project.write("ns/mod.py", "");
  project.write("main.py",
                "import os\nimport pkg.util as u, sys\nfrom pkg import util, not_a_module\n"
                "from pkg.sub import deep\nimport pkg.nothere\n\"\"\"\nimport pkg.sub\n\"\"\"\n"
                "from ns import mod, ghost\nimport ns\nfrom requests import get\n");

  const ProjectDependencyAnalyzer graph = analyzer();

  EXPECT_EQ(
      extract(graph, "main.py", "Python"),
      (Files{"2:pkg.util -> pkg/util.py", "3:pkg -> pkg/__init__.py", "3:pkg.util -> pkg/util.py",
             "4:pkg.sub -> pkg/sub/__init__.py", "4:pkg.sub.deep -> pkg/sub/deep.py",
             "5:pkg.nothere -> missing", "9:ns.mod -> ns/mod.py", "9:ns.ghost -> missing"}));
  EXPECT_EQ(extract(graph, "pkg/sub/deep.py", "Python"),
            (Files{"1:.. -> pkg/__init__.py", "1:..util -> pkg/util.py", "2:..missing -> missing",
                   "3:. -> pkg/sub/__init__.py"}));
}

TEST_F(ProjectDependencyAnalyzerTest, JavaScriptAndTypeScriptSpecifiersTryExtensionsAndIndexes) {
  for (const char* file : {"src/a.ts", "src/types.d.ts", "src/side.css", "src/lib/index.ts",
                           "src/cjs.js", "src/lazy.ts", "src/view.tsx"}) {
    project.write(file, "");
  }
  project.write("src/app.tsx",
                "import React from 'react';\nimport { a } from './a';\n"
                "import type { T } from \"./types\";\nimport './side.css?inline';\n"
                "export * from './lib';\nconst x = require('./cjs');\n"
                "const later = await import('./lazy.js');\nimport View from './view';\n"
                "import {\n  b,\n} from '../outside/missing';\nimport '@scope/pkg';\n");

  const ProjectDependencyAnalyzer graph = analyzer();

  EXPECT_EQ(extract(graph, "src/app.tsx", "TypeScript (React)"),
            (Files{"2:./a -> src/a.ts", "3:./types -> src/types.d.ts",
                   "4:./side.css?inline -> src/side.css", "5:./lib -> src/lib/index.ts",
                   "6:./cjs -> src/cjs.js", "7:./lazy.js -> src/lazy.ts",
                   "8:./view -> src/view.tsx", "9:../outside/missing -> missing"}));
}

TEST_F(ProjectDependencyAnalyzerTest, CIncludesSearchTheFileTheRootAndSearchDirectories) {
  project.write("src/util.h", "");
  project.write("include/common.h", "");
  project.write("include/proj/api.h", "");
  project.write("config.h", "");
  project.write(
      "src/main.c",
      "#include <stdio.h>\n#include \"util.h\"\n#include \"common.h\"\n"
      "# include <proj/api.h>\n#include \"nothere.h\"\n#include <nothere.h>\n"
      "/* #include \"util.h\" */\n#include <config.h>\n#include \"../include/common.h\"\n");

  const ProjectDependencyAnalyzer graph = analyzer({"include"});

  EXPECT_EQ(extract(graph, "src/main.c", "C"),
            (Files{"2:util.h -> src/util.h", "3:common.h -> include/common.h",
                   "4:proj/api.h -> include/proj/api.h", "5:nothere.h -> missing",
                   "8:config.h -> config.h", "9:../include/common.h -> include/common.h"}));
  // Without the search directory the quoted include is missing and the angled one unlisted.
  EXPECT_EQ(extract(analyzer(), "src/main.c", "C++"),
            (Files{"2:util.h -> src/util.h", "3:common.h -> missing", "5:nothere.h -> missing",
                   "8:config.h -> config.h", "9:../include/common.h -> include/common.h"}));
}

TEST_F(ProjectDependencyAnalyzerTest, DartImportsResolveOwnPackageAndRelativeUris) {
  project.write("pubspec.yaml", "# app\nname: my_app # the app\nversion: 1.0.0\n");
  project.write("lib/src/model.dart", "");
  project.write("lib/main.dart",
                "import 'dart:async';\nimport 'package:flutter/material.dart';\n"
                "import 'package:my_app/src/model.dart';\nimport 'src/model.dart' show Model;\n"
                "export \"src/gone.dart\";\npart 'main.g.dart';\npart of 'x.dart';\n"
                "// import 'src/commented.dart';\nimport 'package:my_app/missing.dart';\n");

  EXPECT_EQ(extract(analyzer(), "lib/main.dart", "Dart"),
            (Files{"3:package:my_app/src/model.dart -> lib/src/model.dart",
                   "4:src/model.dart -> lib/src/model.dart", "5:src/gone.dart -> missing",
                   "6:main.g.dart -> missing", "9:package:my_app/missing.dart -> missing"}));
}

TEST_F(ProjectDependencyAnalyzerTest, UnknownLanguageNameFallsBackOnTheExtension) {
  project.write("a.hpp", "");
  project.write("b.hpp", "#include \"a.hpp\"\n");
  const ProjectDependencyAnalyzer graph = analyzer();
  EXPECT_EQ(extract(graph, "b.hpp", "Unknown"), (Files{"1:a.hpp -> a.hpp"}));
  EXPECT_EQ(extract(graph, "b.hpp", "Rust").size(), 1u);
  project.write("notes.txt", "#include \"a.hpp\"\n");
  EXPECT_TRUE(extract(graph, "notes.txt", "Unknown").empty());
}

TEST_F(ProjectDependencyAnalyzerTest, ScanBuildsTheDependenciesMapAndSkipsToolFolders) {
  project.write("a.h", "");
  project.write("b.h", "#include \"a.h\"\n#include \"a.h\"\n#include \"gone.h\"\n");
  project.write("c.c", "#include \"b.h\"\n#include \"a.h\"\n");
  project.write("README.md", "#include \"a.h\"\n");
  for (const char* skipped : {"node_modules/x.js", "build/gen.c", ".git/hooks/h.py",
                              ".analysis_temp/probe.py", ".dart_tool/t.dart", "sub/build/y.c"}) {
    project.write(skipped, "#include \"../a.h\"\n");
  }

  ProjectDependencyAnalyzer graph = analyzer();
  const ScanSummary summary = graph.scan_project();

  EXPECT_EQ(graph.files(), (Files{at("a.h"), at("b.h"), at("c.c")}));
  const DependenciesMap expected = {
      {at("a.h"), {}}, {at("b.h"), {at("a.h")}}, {at("c.c"), {at("b.h"), at("a.h")}}};
  EXPECT_EQ(graph.dependencies_map(), expected);
  EXPECT_EQ(summary.files_listed, 4u);
  EXPECT_EQ(summary.source_files, 3u);
  EXPECT_EQ(summary.imports, 5u);
  EXPECT_EQ(summary.unresolved, 1u);
  EXPECT_EQ(graph.get_dependents(at("a.h"), 3), (DependentsByDepth{{1, {at("b.h"), at("c.c")}}}));
}

TEST_F(ProjectDependencyAnalyzerTest, ScanFeedsTheSchedulerImportersBeforeWhatTheyImport) {
  project.write("app.py", "import models\nfrom util import helpers\n");
  project.write("models.py", "from util import helpers\nimport os\n");
  project.write("util/__init__.py", "");
  project.write("util/helpers.py", "");
  project.write("tool.py", "import json\n");
  ProjectDependencyAnalyzer graph = analyzer();
  graph.scan_project();

  const auto batches =
      wave_planner::get_parallelizable_batches(graph.files(), graph.dependencies_map(), 10);
  std::vector<Files> relative;
  for (const auto& batch : batches) {
    Files names;
    for (const auto& file : batch) names.push_back(text::relative_path_text(file, root));
    std::sort(names.begin(), names.end());
    relative.push_back(names);
  }
  // "from util import helpers" runs the package's __init__.py too, so both wait for their
  // importers.
  EXPECT_EQ(relative,
            (std::vector<Files>{
                {"app.py", "tool.py"}, {"models.py"}, {"util/__init__.py", "util/helpers.py"}}));
}

TEST_F(ProjectDependencyAnalyzerTest, DependentsOfADiamondListEachFileOnceAtItsSmallestDepth) {
  project.write("a.h", "");
  project.write("b.h", "#include \"a.h\"\n");
  project.write("c.h", "#include \"a.h\"\n");
  project.write("d.c", "#include \"b.h\"\n#include \"c.h\"\n#include \"a.h\"\n");
  project.write("e.c", "#include \"d.c\"\n");
  ProjectDependencyAnalyzer graph = analyzer();
  graph.scan_project();

  const std::vector<std::pair<int, DependentsByDepth>> cases = {
      {3, {{1, {at("b.h"), at("c.h"), at("d.c")}}, {2, {at("e.c")}}}},
      {1, {{1, {at("b.h"), at("c.h"), at("d.c")}}}},
      {0, {}},
      {-1, {}},
  };
  for (const auto& [depth, expected] : cases) {
    EXPECT_EQ(graph.get_dependents(at("a.h"), depth), expected) << depth;
  }
  EXPECT_EQ(graph.get_dependents(at("b.h"), 3),
            (DependentsByDepth{{1, {at("d.c")}}, {2, {at("e.c")}}}));
  EXPECT_TRUE(graph.get_dependents(at("e.c"), 3).empty());
  EXPECT_TRUE(graph.get_dependents(at("unknown.h"), 3).empty());
  EXPECT_TRUE(graph.get_dependents("", 3).empty());
  // Other spellings of the same file.
  EXPECT_EQ(graph.get_dependents(root + "//sub/../b.h", 1), (DependentsByDepth{{1, {at("d.c")}}}));
}

TEST_F(ProjectDependencyAnalyzerTest, DependentsOnACycleTerminateWithoutTheFileItself) {
  project.write("x.h", "#include \"y.h\"\n");
  project.write("y.h", "#include \"z.h\"\n");
  project.write("z.h", "#include \"x.h\"\n");
  project.write("self.h", "#include \"self.h\"\n");
  ProjectDependencyAnalyzer graph = analyzer();
  graph.scan_project();

  EXPECT_EQ(graph.get_dependents(at("x.h"), 10),
            (DependentsByDepth{{1, {at("z.h")}}, {2, {at("y.h")}}}));
  EXPECT_TRUE(graph.get_dependents(at("self.h"), 3).empty());
  // The scheduling map keeps the edges as they are, the self-include included.
  EXPECT_EQ(graph.dependencies_map().front(),
            (std::pair<std::string, Files>{at("self.h"), {at("self.h")}}));
}

TEST_F(ProjectDependencyAnalyzerTest, PathsAreShownUnderTheRootAsGiven) {
  project.write("src/a.py", "");
  project.write("src/b.py", "from . import a\n");
  const std::string relative_root =
      text::relative_path_text(root, std::filesystem::current_path().string());
  ProjectDependencyOptions options;
  options.root = relative_root + "/./";
  ProjectDependencyAnalyzer graph(options);
  graph.scan_project();

  const std::string shown_a = text::normalize_path_text(relative_root + "/src/a.py");
  const std::string shown_b = text::normalize_path_text(relative_root + "/src/b.py");
  EXPECT_EQ(graph.files(), (Files{shown_a, shown_b}));
  EXPECT_EQ(graph.get_dependents(at("src/a.py"), 1), (DependentsByDepth{{1, {shown_b}}}));
  const auto records = graph.extract_dependencies(shown_b, read("src/b.py"), "Python");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].resolved_path, shown_a);
}

TEST_F(ProjectDependencyAnalyzerTest, ScanOfAMissingRootFailsAndKeepsTheEarlierGraph) {
  project.write("a.h", "");
  ProjectDependencyAnalyzer graph = analyzer();
  graph.scan_project();
  std::filesystem::remove_all(project.path());
  EXPECT_THROW(graph.scan_project(), std::filesystem::filesystem_error);
  EXPECT_EQ(graph.files(), (Files{at("a.h")}));
}

TEST(SourceLanguages, NamesAndExtensionsChooseTheImportSyntax) {
  using source_languages::ImportSyntax;
  const std::vector<std::tuple<std::string, std::string, ImportSyntax>> cases = {
      {"Python", "x", ImportSyntax::python},
      {"JavaScript (React)", "x", ImportSyntax::javascript},
      {"TypeScript", "x", ImportSyntax::javascript},
      {"C/C++ Header", "x", ImportSyntax::c_family},
      {"C++", "x.py", ImportSyntax::c_family},
      {"Dart", "x", ImportSyntax::dart},
      {"Unknown", "src/x.HPP", ImportSyntax::c_family},
      {"Unknown", "src/x.mjs", ImportSyntax::javascript},
      {"Unknown", "dir.py/README", ImportSyntax::none},
      {"Unknown", ".py", ImportSyntax::none},
      {"Go", "main.go", ImportSyntax::none},
  };
  for (const auto& [language, path, expected] : cases) {
    EXPECT_EQ(source_languages::syntax_of(language, path), expected) << language << " " << path;
  }
}

}  // namespace
}  // namespace orvane

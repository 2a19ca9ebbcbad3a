// The agent's own cost per analysis: analyze_file on a 20 KB source file with a dependency
// analyzer and a code generator present, against models that answer at once (a 5 KB Markdown
// analysis, a short fenced probe). Everything but the model is real: reading and decoding the
// file, relative paths, the dependency block, the generator's prompt and fence cutting, the
// main prompt, and cutting the answer into the record.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "agents/vetting_agent.hpp"
#include "services/probe_writer.hpp"

namespace {

using orvane::Json;

class InstantModel : public orvane::AIProvider {
 public:
  explicit InstantModel(std::string answer) : answer_(std::move(answer)) {}
  boost::asio::awaitable<std::string> generate_content_with_retry(std::string) override {
    co_return answer_;
  }
  boost::asio::awaitable<orvane::ThinkingAnswer> generate_with_thinking(std::string) override {
    co_return orvane::ThinkingAnswer{answer_, ""};
  }
  boost::asio::awaitable<Json> generate_structured(std::string, Json) override { co_return Json(); }
  boost::asio::awaitable<Json> generate_with_code_execution(std::string) override {
    co_return Json::object();
  }

 private:
  std::string answer_;
};

class FixedImports : public orvane::DependencyAnalyzer {
 public:
  explicit FixedImports(std::string root) : root_(std::move(root)) {}
  std::vector<orvane::DependencyRecord> extract_dependencies(const std::string&, const std::string&,
                                                             const std::string&) const override {
    return {{true, root_ + "/pkg/models.py", 1, "pkg.models"},
            {true, root_ + "/pkg/utils/text.py", 2, "pkg.utils.text"},
            {false, "", 3, "vendor.sdk"},
            {true, root_ + "/pkg/config.py", 4, "pkg.config"}};
  }
  orvane::DependentsByDepth get_dependents(const std::string&, int) const override { return {}; }

 private:
  std::string root_;
};

std::string source_text() {
  std::string source =
      "import pkg.models\nimport pkg.utils.text\nimport vendor.sdk\nimport pkg.config\n\n";
  for (int index = 0; source.size() < 20'000; ++index) {
    source += "def traiter_élément_" + std::to_string(index) + "(données, options=None):\n";
    source += "    \"\"\"Traite un élément et renvoie un résumé.\"\"\"\n";
    source += "    total = sum(d.valeur for d in données if d.actif)\n";
    source += "    return {'total': total, 'index': " + std::to_string(index) + "}\n\n";
  }
  return source;
}

std::string markdown_answer() {
  std::string answer =
      "Voici l'analyse structurée du fichier `pkg/service.py`.\n\n# Analyse: pkg/service.py\n\n"
      "## Langage détecté\n\nPython\n\n## Objectif / Fonction principale\n\n"
      "Ce module regroupe les traitements des éléments métier et calcule leurs totaux.\n\n"
      "## Points forts / Bonnes pratiques\n\n";
  for (int index = 0; index < 10; ++index) {
    answer += "- **Point fort " + std::to_string(index) +
              " :** Les fonctions sont courtes, nommées clairement et documentées.\n";
  }
  answer += "\n## Relations et dépendances\n\n";
  for (int index = 0; index < 10; ++index) {
    answer += index % 3 == 0 ? "- Le module `vendor.sdk` est introuvable dans le projet.\n"
                             : "- La relation avec `pkg.models` est cohérente et typée.\n";
  }
  answer += "\n## Risques, dettes techniques ou incohérences\n\n";
  for (int index = 0; index < 10; ++index) {
    answer += "- **Risque " + std::to_string(index) +
              " :** Les fonctions dupliquées augmentent le coût de maintenance du module.\n";
  }
  answer += "\n## Suggestions d'amélioration\n\n";
  for (int index = 1; answer.size() < 5'000; ++index) {
    answer +=
        std::to_string(index) + ".  **Factoriser les traitements " + std::to_string(index) +
        " :**\n    Regrouper les fonctions semblables dans une seule fonction paramétrée.\n\n";
  }
  return answer;
}

class Project {
 public:
  Project() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root = pattern;
    std::filesystem::create_directories(root / "pkg");
    std::ofstream(root / "pkg" / "service.py", std::ios::binary) << source_text();
  }
  ~Project() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path root;
};

void BM_AnalyzeFile(benchmark::State& state) {
  const Project project;
  orvane::AnalysisConfig config;
  config.root_dir = project.root.string();
  config.enable_code_generation = true;
  const auto generator = std::make_shared<orvane::ProbeWriter>(
      config, std::make_shared<InstantModel>("```python\nimport ast\nprint(ast.dump(arbre))\n```"));
  const orvane::VettingAgent agent(std::make_shared<InstantModel>(markdown_answer()), config,
                                   std::make_shared<FixedImports>(config.root_dir), nullptr,
                                   generator);
  const std::string path = (project.root / "pkg" / "service.py").string();

  boost::asio::io_context context;
  for (auto _ : state) {
    orvane::FileAnalysis record;
    boost::asio::co_spawn(context, agent.analyze_file(path),
                          [&record](std::exception_ptr error, orvane::FileAnalysis result) {
                            if (error) std::rethrow_exception(error);
                            record = std::move(result);
                          });
    context.run();
    context.restart();
    if (!record.success || record.suggestions.empty()) {
      state.SkipWithError("the analysis did not succeed");
      break;
    }
    benchmark::DoNotOptimize(record);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnalyzeFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

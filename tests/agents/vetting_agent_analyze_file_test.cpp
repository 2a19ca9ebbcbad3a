#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent_fixture.hpp"
#include "agents/analysis_prompts.hpp"
#include "support/golden_file.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

using Lines = std::vector<std::string>;
namespace prompts = analysis_prompts;

const std::string kAnswer =
    "Voici l'analyse structurée du fichier `src/app.py`.\n\n"
    "# Analyse: src/app.py\n\n"
    "## Langage détecté\n\nPython\n\n"
    "## Objectif / Fonction principale\n\nPoint d'entrée de l'application.\n\n"
    "## Points forts / Bonnes pratiques\n\n"
    "- **Lisible :** noms clairs\n- **Testé :** bonne couverture\n\n"
    "## Relations et dépendances\n\n"
    "- Le module `vendor.sdk` est introuvable  \n"
    "- INCOHÉRENCE de version avec utils\n"
    "### Incohérence de types\n"
    "- Aucune incohérence détectée ailleurs\n"
    "- Relation saine avec utils\n\n"
    "## Risques, dettes techniques ou incohérences\n\n- **Variable globale :** état partagé\n\n"
    "## Suggestions d'amélioration\n\n"
    "1.  **Extraire une fonction :**\n    Détails.\n\n"
    "2.  **Ajouter des tests :**\n    Détails.\n";

class AnalyzeFileTest : public testing::AgentFixture {
 protected:
  FileAnalysis analyze(const VettingAgent& agent, const std::string& path) const {
    return testing::run_to_completion(agent.analyze_file(path));
  }
};

TEST_F(AnalyzeFileTest, FullRunCallsEachCollaboratorInOrderAndCutsTheAnswer) {
  // 6 000 code points, multi-byte ones included, so the generator's 5 000 are a real cut.
  std::string content = "import utils\nimport vendor.sdk\n";
  while (text::code_point_count(content) < 6'000) content += "é = {1: 'ü'}\n";
  const std::string path = write("src/app.py", content);
  analyzer->records = {
      {.exists = true,
       .resolved_path = (project.path() / "src/utils.py").string(),
       .line_number = 1,
       .import_path = "utils"},
      {.exists = false, .resolved_path = "", .line_number = 2, .import_path = "vendor.sdk"},
      {.exists = true, .resolved_path = "", .line_number = 3, .import_path = "ghost"},
  };
  searcher->documentation = "Docs de utils";
  generator->code = "print('probe')";
  model->text_answer = [](const std::string&) { return kAnswer; };

  ::testing::internal::CaptureStdout();
  const FileAnalysis record = analyze(full_agent(), path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

  EXPECT_EQ(*call_order, (Lines{"extract_dependencies", "search_documentation",
                                "generate_analysis_code", "model.generate_content_with_retry"}));
  ASSERT_EQ(analyzer->calls.size(), 1u);
  EXPECT_EQ(analyzer->calls[0].file_path, path);
  EXPECT_EQ(analyzer->calls[0].content, content);
  EXPECT_EQ(analyzer->calls[0].language, "Python");
  ASSERT_EQ(searcher->calls.size(), 1u);
  EXPECT_EQ(searcher->calls[0].language, "Python");
  EXPECT_EQ(searcher->calls[0].file_path, path);
  EXPECT_EQ(searcher->calls[0].content, content);
  ASSERT_EQ(generator->calls.size(), 1u);
  EXPECT_EQ(generator->calls[0].original_code, text::first_code_points(content, 5'000));
  EXPECT_EQ(generator->calls[0].language, "Python");
  EXPECT_EQ(generator->calls[0].analysis_focus,
            "Analyse approfondie de la structure, des dépendances et des patterns");
  EXPECT_TRUE(model->calls.size() == 1 && progress->calls.empty());

  const std::string dependencies = prompts::dependency_block(
      {prompts::found_import_line(1, "utils", "src/utils.py")},
      {prompts::missing_import_line(2, "vendor.sdk"), prompts::missing_import_line(3, "ghost")});
  EXPECT_EQ(model->calls[0].prompt,
            prompts::main_analysis_prompt("src/app.py", "Python", dependencies, "Docs de utils",
                                          prompts::generated_code_block("Python", "print('probe')"),
                                          content));

  EXPECT_EQ(record.file_path, path);
  EXPECT_EQ(record.language, "Python");
  EXPECT_EQ(record.objective, "Point d'entrée de l'application.");
  EXPECT_EQ(record.strengths, (Lines{"**Lisible :** noms clairs", "**Testé :** bonne couverture"}));
  EXPECT_EQ(record.risks, (Lines{"**Variable globale :** état partagé"}));
  EXPECT_EQ(record.suggestions, (Lines{"**Extraire une fonction :**", "**Ajouter des tests :**"}));
  EXPECT_EQ(record.analysis_markdown, kAnswer);
  EXPECT_TRUE(record.success);
  EXPECT_EQ(record.error, std::nullopt);
  ASSERT_EQ(record.dependencies.size(), 3u);
  EXPECT_EQ(record.dependencies[1].import_path, "vendor.sdk");
  EXPECT_EQ(
      record.inconsistencies,
      (Lines{"Import introuvable: `vendor.sdk` à la ligne 2",
             "Import introuvable: `ghost` à la ligne 3", "- Le module `vendor.sdk` est introuvable",
             "- INCOHÉRENCE de version avec utils", "- Aucune incohérence détectée ailleurs"}));
}

TEST_F(AnalyzeFileTest, WhitespaceOnlyFileIsAnsweredWithoutAnyCall) {
  const std::string path = write("src/empty.py", " \n\t\r\n \u00a0\u2003\n");
  const FileAnalysis record = analyze(full_agent(), path);
  EXPECT_TRUE(call_order->empty());
  EXPECT_EQ(record.file_path, path);
  EXPECT_EQ(record.language, "Python");
  EXPECT_EQ(record.objective, "Fichier vide");
  EXPECT_EQ(record.strengths, Lines{});
  EXPECT_EQ(record.risks, Lines{"Fichier vide - vérifier si nécessaire"});
  EXPECT_EQ(record.suggestions,
            (Lines{"Vérifier la nécessité du fichier", "Compléter le fichier si nécessaire"}));
  EXPECT_EQ(record.analysis_markdown, testing::golden_file("agents/golden/empty_file.txt"));
  EXPECT_TRUE(record.success);
  EXPECT_TRUE(record.dependencies.empty() && record.inconsistencies.empty());
}

TEST_F(AnalyzeFileTest, MissingFileGivesTheFailureRecordWithTheSystemMessage) {
  ::testing::internal::CaptureStdout();
  const std::string path = (project.path() / "gone.ts").string();
  const FileAnalysis record = analyze(full_agent(), path);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(call_order->empty());
  EXPECT_FALSE(record.success);
  EXPECT_EQ(record.file_path, path);
  EXPECT_EQ(record.language, "TypeScript");
  EXPECT_EQ(record.objective, "Erreur lors de l'analyse");
  EXPECT_EQ(record.error, "No such file or directory");
  EXPECT_EQ(record.risks, Lines{"Erreur: No such file or directory"});
  EXPECT_EQ(record.analysis_markdown, "");
  EXPECT_TRUE(record.strengths.empty() && record.suggestions.empty());
}

TEST_F(AnalyzeFileTest, FailuresOfTheAnalyzerOrTheModelGiveFailureRecords) {
  const std::string path = write("a.go", "package main\n");
  analyzer->failure = "graphe indisponible";
  FileAnalysis record = analyze(full_agent(), path);
  EXPECT_EQ(record.error, "graphe indisponible");
  EXPECT_EQ(record.risks, Lines{"Erreur: graphe indisponible"});
  EXPECT_TRUE(model->calls.empty());

  analyzer->failure.clear();
  model = testing::FakeAIProvider::failing("quota dépassé");
  record = analyze(full_agent(), path);
  EXPECT_FALSE(record.success);
  EXPECT_EQ(record.error, "quota dépassé");
  EXPECT_EQ(record.risks, Lines{"Erreur: quota dépassé"});
  EXPECT_TRUE(record.dependencies.empty() && record.inconsistencies.empty());
}

TEST_F(AnalyzeFileTest, FailingEnrichmentsWarnAndTheAnalysisGoesOn) {
  const std::string path = write("src/app.py", "x = 1\n");
  searcher->failure = "réseau coupé";
  generator->failure = "générateur en panne";
  model->text_answer = [](const std::string&) { return std::string(); };

  ::testing::internal::CaptureStdout();
  const FileAnalysis record = analyze(full_agent(), path);
  EXPECT_EQ(
      ::testing::internal::GetCapturedStdout(),
      "⚠️  Erreur lors de la recherche de documentation pour src/app.py: réseau coupé\n"
      "⚠️  Erreur lors de la génération de code d'analyse pour src/app.py: générateur en "
      "panne\n");
  EXPECT_TRUE(record.success);
  EXPECT_EQ(model->calls.at(0).prompt,
            prompts::main_analysis_prompt("src/app.py", "Python", "", "", "", "x = 1\n"));
}

TEST_F(AnalyzeFileTest, GeneratorIsAskedOnlyWhenPresentAndEnabled) {
  const std::string path = write("m.rs", "fn main() {}\n");
  model->text_answer = [](const std::string&) { return std::string(); };

  config.enable_code_generation = false;
  analyze(full_agent(), path);
  EXPECT_TRUE(generator->calls.empty());

  config.enable_code_generation = true;
  analyze(VettingAgent(model, config, analyzer, searcher, nullptr, progress), path);
  EXPECT_EQ(model->calls.size(), 2u);

  // An absent or empty result adds no block and no warning.
  for (const std::optional<std::string>& code :
       {std::optional<std::string>(), std::optional<std::string>("")}) {
    generator->code = code;
    ::testing::internal::CaptureStdout();
    analyze(full_agent(), path);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(model->calls.back().prompt.find("Code d'analyse généré"), std::string::npos);
  }
}

TEST_F(AnalyzeFileTest, NoCollaboratorsLeaveFiveEmptyLinesInThePrompt) {
  const std::string path = write("lib/a.rs", "fn main() {}\n");
  model->text_answer = [](const std::string&) { return std::string(); };
  const FileAnalysis record = analyze(bare_agent(), path);
  EXPECT_EQ(model->calls.at(0).prompt, testing::golden_file("agents/golden/main_bare.txt"));
  EXPECT_TRUE(record.dependencies.empty());
}

TEST_F(AnalyzeFileTest, PromptShowsPathsRelativeToTheRootWithSlashes) {
  model->text_answer = [](const std::string&) { return std::string(); };
  const testing::TempDir elsewhere;  // a sibling of the project's directory
  const std::string outside = elsewhere.write("x.py", "y = 2\n").string();
  const std::string backslashed = write("win\\dir\\w.py", "z = 3\n");

  const VettingAgent agent = bare_agent();
  analyze(agent, outside);
  analyze(agent, backslashed);

  const std::string sibling = "../" + elsewhere.path().filename().string() + "/x.py";
  EXPECT_NE(model->calls.at(0).prompt.find("Fichier: " + sibling + "\n"), std::string::npos);
  EXPECT_NE(model->calls.at(1).prompt.find("Fichier: win/dir/w.py\n"), std::string::npos);
  EXPECT_NE(model->calls.at(1).prompt.find("`win/dir/w.py`"), std::string::npos);
  EXPECT_EQ(model->calls.at(1).prompt.find('\\'), std::string::npos);
}

TEST_F(AnalyzeFileTest, ContentIsDecodedDroppingInvalidBytesAndCutAtFiftyThousand) {
  model->text_answer = [](const std::string&) { return std::string(); };
  const std::string path = write("bytes.py",
                                 "a\xff"
                                 "b\r\nc\rd");
  analyze(full_agent(), path);
  EXPECT_EQ(analyzer->calls.at(0).content, "ab\nc\nd");

  std::string big;
  for (int index = 0; index < 50'010; ++index) big += index < 49'999 ? "x" : "€";
  const std::string big_path = write("big.py", big);
  analyze(full_agent(), big_path);
  const std::string expected_body =
      "```\n" + std::string(text::first_code_points(big, 50'000)) + "  # Limite";
  EXPECT_NE(model->calls.back().prompt.find(expected_body), std::string::npos);
  EXPECT_EQ(searcher->calls.back().content, big);
}

TEST_F(AnalyzeFileTest, AnswerCuttingCases) {
  const std::string path = write("c.py", "c = 1\n");
  const struct {
    const char* name;
    std::string answer;
    std::string objective;
    Lines strengths;
    Lines risks;
    Lines suggestions;
    Lines inconsistencies;
  } cases[] = {
      {"empty answer", "", "Non spécifié", {}, {}, {}, {}},
      {"no objective section",
       "## Points forts\n- a\n## Relations\nrien\n## Risques\n- r\n",
       "Non spécifié",
       {"a"},
       {"r"},
       {},
       {}},
      {"no relations: strengths stop at the risks",
       "## Objectif\no\n## Points forts\n- a\n## Risques\n- r\n## Suggestions\n1. s\n",
       "o",
       {"a"},
       {"r"},
       {"s"},
       {}},
      {"relations keywords, headings skipped",
       "## Relations\n- Module manquant: x\n#### erreur de titre\n  - Erreur de typage  \n"
       "## Risques\n",
       "Non spécifié",
       {},
       {},
       {},
       {"- Module manquant: x", "- Erreur de typage"}},
  };
  for (const auto& c : cases) {
    model->text_answer = [answer = c.answer](const std::string&) { return answer; };
    const FileAnalysis record = analyze(bare_agent(), path);
    EXPECT_TRUE(record.success) << c.name;
    EXPECT_EQ(record.objective, c.objective) << c.name;
    EXPECT_EQ(record.strengths, c.strengths) << c.name;
    EXPECT_EQ(record.risks, c.risks) << c.name;
    EXPECT_EQ(record.suggestions, c.suggestions) << c.name;
    EXPECT_EQ(record.inconsistencies, c.inconsistencies) << c.name;
  }
}

}  // namespace
}  // namespace orvane

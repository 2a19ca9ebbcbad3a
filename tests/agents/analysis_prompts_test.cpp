#include "agents/analysis_prompts.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/golden_file.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

namespace prompts = analysis_prompts;
using testing::golden_file;

// Source text with braces, a placeholder-like word, and characters of two to three bytes.
const std::string kContent =
    "def main():\n    data = {\"relative_path\": \"{relative_path}\"}\n    return data  # é ✓\n";

TEST(AnalysisPromptsTest, MainPromptWithEveryEnrichment) {
  const std::string dependencies = prompts::dependency_block(
      {prompts::found_import_line(3, "utils.helpers", "src/utils/helpers.py"),
       prompts::found_import_line(4, "..core", "core/__init__.py")},
      {prompts::missing_import_line(7, "vendor.sdk")});
  const std::string generated =
      prompts::generated_code_block("Python", "def probe():\n    return {'x': 1}");
  EXPECT_EQ(prompts::main_analysis_prompt("src/app/main.py", "Python", dependencies,
                                          "Documentation de requests:\n- Session réutilisable",
                                          generated, kContent),
            golden_file("agents/golden/main_full.txt"));
}

TEST(AnalysisPromptsTest, MainPromptWithoutEnrichmentHasFiveEmptyLines) {
  const std::string prompt =
      prompts::main_analysis_prompt("lib/a.rs", "Rust", "", "", "", "fn main() {}\n");
  EXPECT_EQ(prompt, golden_file("agents/golden/main_bare.txt"));
  EXPECT_NE(prompt.find("Langage: Rust\n\n\n\n\n\nContenu du fichier:\n"), std::string::npos);
}

TEST(AnalysisPromptsTest, MissingImportsOnlyStartTheBlockDirectly) {
  const std::string dependencies = prompts::dependency_block(
      {},
      {prompts::missing_import_line(1, "./missing"), prompts::missing_import_line(2, "lodash")});
  EXPECT_TRUE(dependencies.starts_with("\n\n⚠️ Imports introuvables:\n"));
  EXPECT_EQ(prompts::main_analysis_prompt("app.ts", "TypeScript", dependencies, "", "",
                                          "import x from './missing';\n"),
            golden_file("agents/golden/main_missing_only.txt"));
}

TEST(AnalysisPromptsTest, ImportLinesAndInconsistencyText) {
  EXPECT_EQ(prompts::found_import_line(12, "a/b", "src/a/b.ts"),
            "  - Ligne 12: `a/b` → `src/a/b.ts` ✅");
  EXPECT_EQ(prompts::missing_import_line(0, "x"), "  - Ligne 0: `x` ❌ (fichier introuvable)");
  EXPECT_EQ(prompts::missing_import_inconsistency("vendor.sdk", 7),
            "Import introuvable: `vendor.sdk` à la ligne 7");
  EXPECT_EQ(prompts::dependency_block({}, {}), "");
  EXPECT_EQ(prompts::dependency_block({"a", "b"}, {}), "\n\nDépendances détectées:\na\nb");
}

TEST(AnalysisPromptsTest, GeneratedCodeBlockLowerCasesTheFenceAndCutsTheCode) {
  EXPECT_EQ(prompts::generated_code_block("TypeScript (React)", "x"),
            "\n\n## Code d'analyse généré pour compréhension approfondie\n\n"
            "```typescript (react)\nx\n```\n");
  // 2 000 code points, the last of them four bytes long, then more.
  const std::string code = std::string(1999, 'a') + "𝄞" + "tail";
  const std::string block = prompts::generated_code_block("C", code);
  EXPECT_NE(block.find("```c\n" + std::string(1999, 'a') + "𝄞\n```\n"), std::string::npos);
}

TEST(AnalysisPromptsTest, EmptyFileAnalysis) {
  const std::string analysis = prompts::empty_file_analysis("src/empty.py", "Python");
  EXPECT_EQ(analysis, golden_file("agents/golden/empty_file.txt"));
  EXPECT_TRUE(analysis.ends_with("projet.\n"));
}

TEST(AnalysisPromptsTest, StructuredAndCodeExecutionPrompts) {
  EXPECT_EQ(prompts::structured_analysis_prompt("src/app/main.py", "Python", kContent),
            golden_file("agents/golden/structured.txt"));
  EXPECT_EQ(prompts::code_execution_prompt("src/app/main.py", "Python", "Compter les fonctions",
                                           kContent),
            golden_file("agents/golden/code_execution.txt"));
}

// 60 000 code points with a two-byte character at each limit, so a cut by bytes would split it.
TEST(AnalysisPromptsTest, ContentIsCutByCodePoints) {
  std::string content;
  for (int index = 0; index < 60'000; ++index) {
    content += (index == 29'999 || index == 49'999 || index == 50'000) ? "é" : "x";
  }
  const std::string first_50k(text::first_code_points(content, 50'000));
  const std::string first_30k(text::first_code_points(content, 30'000));
  ASSERT_TRUE(first_50k.ends_with("xé"));
  ASSERT_TRUE(first_30k.ends_with("xé"));

  const struct {
    std::string prompt;
    std::string expected_body;
  } cases[] = {
      {prompts::main_analysis_prompt("a.py", "Python", "", "", "", content),
       "```\n" + first_50k + "  # Limite à 50k caractères"},
      {prompts::structured_analysis_prompt("a.py", "Python", content),
       "```\n" + first_50k + "\n```\n"},
      {prompts::code_execution_prompt("a.py", "Python", "t", content),
       "```\n" + first_30k + "\n```\n"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(c.prompt.find(c.expected_body), std::string::npos);
    EXPECT_TRUE(text::is_valid_utf8(c.prompt));
  }
}

}  // namespace
}  // namespace orvane

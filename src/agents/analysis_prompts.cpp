#include "agents/analysis_prompts.hpp"

#include "agents/prompt_template.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace orvane::analysis_prompts {
namespace {

// The templates, line for line; "{name}" marks where a value goes.

constexpr std::string_view kMainAnalysisTemplate =
    R"tpl(Tu es un expert en analyse de code. Analyse ce fichier et génère une synthèse structurée en Markdown en respectant EXACTEMENT le format suivant.

Fichier: {relative_path}
Langage: {language}
{dependencies_info}

{web_docs}
{generated_code_info}

Contenu du fichier:
```
{content}  # Limite à 50k caractères pour éviter les limites de contexte
```

Génère une analyse complète en Markdown avec EXACTEMENT ce format (respecte l'ordre et la structure):

Voici l'analyse structurée du fichier `{relative_path}`.

# Analyse: {relative_path}

## Langage détecté

{language}

## Objectif / Fonction principale

Décris clairement l'objectif et la fonction principale de ce fichier. Peut contenir une liste numérotée des fonctions principales si pertinent.

## Points forts / Bonnes pratiques

- **Titre du point :** Description détaillée
- **Autre point :** Description

Utilise des listes à puces avec des titres en gras suivis de deux-points. Sois spécifique et actionnable.

## Relations et dépendances

Analyse les imports et dépendances de ce fichier. Identifie:
- Les dépendances manquantes ou introuvables
- Les incohérences de types/interfaces entre fichiers
- Les problèmes de couplage ou de dépendances circulaires
- Les exports manquants ou incorrects

Si des dépendances sont listées ci-dessus, analyse chaque relation et détecte les incohérences potentielles (types incompatibles, interfaces manquantes, etc.).

## Risques, dettes techniques ou incohérences

- **Titre du risque :** Description détaillée du problème et de son impact
- **Autre risque :** Description

Utilise des listes à puces avec des titres en gras suivis de deux-points. Sois constructif et précis. Inclus les problèmes détectés dans les relations et dépendances.

## Suggestions d'amélioration

1.  **Titre de l'amélioration :**
    Description détaillée de la suggestion et comment l'implémenter.

2.  **Autre amélioration :**
    Description.

Utilise des listes numérotées avec des titres en gras suivis de deux-points. Fournis des suggestions actionnables et concrètes. Inclus des exemples de code si pertinent.

IMPORTANT:
- Commence toujours par "Voici l'analyse structurée du fichier `{relative_path}`."
- Utilise des slashes (/) pour les chemins, jamais des backslashes
- Respecte exactement l'ordre des sections
- Utilise le format de liste spécifié pour chaque section
- Sois précis, concis et actionnable. Focus sur la qualité du code, la maintenabilité et les bonnes pratiques.
- Si une documentation en ligne est fournie ci-dessus, utilise-la pour enrichir tes suggestions et identifier les meilleures pratiques actuelles.)tpl";

constexpr std::string_view kEmptyFileTemplate =
    R"tpl(Voici l'analyse structurée du fichier `{relative_path}`.

# Analyse: {relative_path}

## Langage détecté

{language}

## Objectif / Fonction principale

Fichier vide. Vérifier si ce fichier est nécessaire ou s'il doit être supprimé.

## Points forts / Bonnes pratiques

Aucun point fort identifié pour un fichier vide.

## Risques, dettes techniques ou incohérences

- **Fichier vide :** Ce fichier ne contient aucun code. Il peut s'agir d'un fichier oublié, d'un placeholder non complété, ou d'un fichier à supprimer.

## Suggestions d'amélioration

1.  **Vérifier la nécessité du fichier :**
    Si le fichier n'est pas utilisé, le supprimer pour éviter la confusion.

2.  **Compléter le fichier si nécessaire :**
    Si le fichier doit contenir du code, l'implémenter selon les besoins du projet.
)tpl";

constexpr std::string_view kStructuredTemplate =
    R"tpl(Tu es un expert en analyse de code. Analyse ce fichier de manière approfondie.

Fichier: {relative_path}
Langage: {language}

Contenu du fichier:
```
{content}
```

Effectue une analyse complète incluant:
1. Le résumé et l'objectif du fichier
2. Les issues de qualité (maintenabilité, lisibilité, style)
3. Les issues de sécurité potentielles
4. Les métriques de code (complexité, lignes, fonctions, classes)
5. Les dépendances du fichier
6. Les recommandations d'amélioration
7. Les fonctions et classes principales

Sois précis, constructif et actionnable.)tpl";

constexpr std::string_view kCodeExecutionTemplate =
    R"tpl(Tu es un expert en analyse de code avec la capacité d'exécuter du Python.

Fichier à analyser: {relative_path}
Langage: {language}
Tâche: {analysis_task}

Contenu du fichier:
```
{content}
```

Écris et exécute du code Python pour analyser ce fichier.
Par exemple, tu peux:
- Parser le code avec ast (pour Python) ou des regex
- Calculer des métriques (complexité, lignes, fonctions)
- Détecter des patterns ou anti-patterns
- Extraire des informations structurées

Explique tes résultats après l'exécution du code.)tpl";

constexpr std::string_view kGeneratedCodeTemplate =
    R"tpl(## Code d'analyse généré pour compréhension approfondie

```{language}
{analysis_code}
```
)tpl";

constexpr std::string_view kFoundImportTemplate =
    R"tpl(  - Ligne {line_number}: `{import_path}` → `{rel_dep_path}` ✅)tpl";

constexpr std::string_view kMissingImportTemplate =
    R"tpl(  - Ligne {line_number}: `{import_path}` ❌ (fichier introuvable))tpl";

std::string join_lines(const std::vector<std::string>& lines) {
  std::string joined;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    if (index > 0) joined += '\n';
    joined += lines[index];
  }
  return joined;
}

}  // namespace

std::string found_import_line(int line_number, std::string_view import_path,
                              std::string_view rel_dep_path) {
  const std::string number = std::to_string(line_number);
  return prompt_template::fill(
      kFoundImportTemplate,
      {{"line_number", number}, {"import_path", import_path}, {"rel_dep_path", rel_dep_path}});
}

std::string missing_import_line(int line_number, std::string_view import_path) {
  const std::string number = std::to_string(line_number);
  return prompt_template::fill(kMissingImportTemplate,
                               {{"line_number", number}, {"import_path", import_path}});
}

std::string missing_import_inconsistency(std::string_view import_path, int line_number) {
  std::string text = "Import introuvable: `";
  text += import_path;
  text += "` à la ligne ";
  text += std::to_string(line_number);
  return text;
}

std::string dependency_block(const std::vector<std::string>& found_lines,
                             const std::vector<std::string>& missing_lines) {
  std::string block;
  if (!found_lines.empty()) {
    block = "\n\nDépendances détectées:\n" + join_lines(found_lines);
  }
  if (!missing_lines.empty()) {
    block += "\n\n⚠️ Imports introuvables:\n" + join_lines(missing_lines);
  }
  return block;
}

std::string generated_code_block(std::string_view language, std::string_view analysis_code) {
  const std::string fence_language = text::to_lower(language);
  return "\n\n" +
         prompt_template::fill(
             kGeneratedCodeTemplate,
             {{"language", fence_language},
              {"analysis_code", text::first_code_points(analysis_code, kGeneratedCodeLimit)}});
}

std::string main_analysis_prompt(std::string_view relative_path, std::string_view language,
                                 std::string_view dependencies_info, std::string_view web_docs,
                                 std::string_view generated_code_info, std::string_view content) {
  return prompt_template::fill(kMainAnalysisTemplate,
                               {{"relative_path", relative_path},
                                {"language", language},
                                {"dependencies_info", dependencies_info},
                                {"web_docs", web_docs},
                                {"generated_code_info", generated_code_info},
                                {"content", text::first_code_points(content, kMainContentLimit)}});
}

std::string empty_file_analysis(std::string_view relative_path, std::string_view language) {
  return prompt_template::fill(kEmptyFileTemplate,
                               {{"relative_path", relative_path}, {"language", language}});
}

std::string structured_analysis_prompt(std::string_view relative_path, std::string_view language,
                                       std::string_view content) {
  return prompt_template::fill(kStructuredTemplate,
                               {{"relative_path", relative_path},
                                {"language", language},
                                {"content", text::first_code_points(content, kMainContentLimit)}});
}

std::string code_execution_prompt(std::string_view relative_path, std::string_view language,
                                  std::string_view analysis_task, std::string_view content) {
  return prompt_template::fill(
      kCodeExecutionTemplate,
      {{"relative_path", relative_path},
       {"language", language},
       {"analysis_task", analysis_task},
       {"content", text::first_code_points(content, kCodeExecutionContentLimit)}});
}

}  // namespace orvane::analysis_prompts

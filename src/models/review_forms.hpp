#pragma once
// The shape of a structured pull-request review. The host gives
// record::json_schema<PRAnalysisResultSchema>() to the model as the required form of its answer
// and reads the answer back with record::from_json<PRAnalysisResultSchema>, which validates it
// (ValidationError on any offending field). Declarations only: no state, no input or output.
//
// Ces modèles sont utilisés avec la fonctionnalité Structured Outputs de Gemini
// pour garantir des réponses JSON valides et typées.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "models/record.hpp"
#include "models/string_enum.hpp"

namespace orvane {

// Niveaux de sévérité des issues
enum class PRIssueSeverityEnum { CRITICAL, HIGH, MEDIUM, LOW, INFO };

constexpr auto enum_texts(PRIssueSeverityEnum) {
  using enum PRIssueSeverityEnum;
  return std::to_array<EnumText<PRIssueSeverityEnum>>({
      {CRITICAL, "critical"},
      {HIGH, "high"},
      {MEDIUM, "medium"},
      {LOW, "low"},
      {INFO, "info"},
  });
}

// Types d'issues détectées
enum class PRIssueTypeEnum {
  SECURITY,
  BUG,
  PERFORMANCE,
  STYLE,
  DOCUMENTATION,
  LOGIC,
  TEST,
  BEST_PRACTICE
};

constexpr auto enum_texts(PRIssueTypeEnum) {
  using enum PRIssueTypeEnum;
  return std::to_array<EnumText<PRIssueTypeEnum>>({
      {SECURITY, "security"},
      {BUG, "bug"},
      {PERFORMANCE, "performance"},
      {STYLE, "style"},
      {DOCUMENTATION, "documentation"},
      {LOGIC, "logic"},
      {TEST, "test"},
      {BEST_PRACTICE, "best_practice"},
  });
}

// Schéma pour une issue détectée dans la PR
struct PRIssueSchema {
  std::string file_path{};
  std::optional<std::int64_t> line_number{};
  std::optional<std::int64_t> line_end{};
  PRIssueTypeEnum issue_type{};
  PRIssueSeverityEnum severity{};
  std::string title{};
  std::string description{};
  std::string suggestion{};
  std::optional<std::string> code_snippet{};

  bool operator==(const PRIssueSchema&) const = default;

  static auto fields() {
    using record::field;
    using R = PRIssueSchema;
    return std::tuple{
        field("file_path", &R::file_path, "Chemin du fichier contenant l'issue"),
        field("line_number", &R::line_number, "Numéro de ligne (dans le nouveau fichier)"),
        field("line_end", &R::line_end, "Ligne de fin pour les issues multi-lignes"),
        field("issue_type", &R::issue_type, "Type d'issue"),
        field("severity", &R::severity, "Niveau de sévérité"),
        field("title", &R::title, "Titre court de l'issue"),
        field("description", &R::description, "Description détaillée du problème"),
        field("suggestion", &R::suggestion, "Suggestion pour corriger l'issue"),
        field("code_snippet", &R::code_snippet, "Extrait de code concerné"),
    };
  }
};

// Schéma pour le résultat complet de l'analyse de PR
struct PRAnalysisResultSchema {
  std::vector<PRIssueSchema> issues{};
  std::string summary{};
  double risk_score = 0.0;
  // Plain text: the model is asked for APPROVE, REQUEST_CHANGES or COMMENT, but any text is kept.
  std::string approval_recommendation = "COMMENT";
  std::vector<std::string> positive_points{};
  std::vector<std::string> general_suggestions{};

  bool operator==(const PRAnalysisResultSchema&) const = default;

  static auto fields() {
    using record::field;
    using R = PRAnalysisResultSchema;
    return std::tuple{
        field("issues", &R::issues, "Liste des issues trouvées").defaulted(),
        field("summary", &R::summary, "Résumé global de la revue de PR"),
        field("risk_score", &R::risk_score, "Score de risque (0-10)").defaulted().bounds(0.0, 10.0),
        field("approval_recommendation", &R::approval_recommendation,
              "Recommandation: APPROVE, REQUEST_CHANGES, ou COMMENT")
            .defaulted(),
        field("positive_points", &R::positive_points, "Points positifs du code").defaulted(),
        field("general_suggestions", &R::general_suggestions,
              "Suggestions générales (non liées à une ligne)")
            .defaulted(),
    };
  }
};

}  // namespace orvane

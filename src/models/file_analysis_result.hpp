#pragma once
// FileAnalysisResult: the shape the model is held to in a structured file analysis (summary and
// objective, quality and security issues, metrics, dependencies, recommendations, main
// functions and classes).
//
// Declared with the record facility: record::json_schema<FileAnalysisResult>() is sent with the
// prompt, record::from_json<FileAnalysisResult>() reads the model's answer and throws
// ValidationError naming every offending field. Lists the model leaves out read as empty.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "models/record.hpp"
#include "models/string_enum.hpp"

namespace orvane {

enum class IssueSeverity { CRITICAL, HIGH, MEDIUM, LOW, INFO };

constexpr auto enum_texts(IssueSeverity) {
  using enum IssueSeverity;
  return std::to_array<EnumText<IssueSeverity>>({
      {CRITICAL, "critical"},
      {HIGH, "high"},
      {MEDIUM, "medium"},
      {LOW, "low"},
      {INFO, "info"},
  });
}

// One problem found in the file, of quality (maintainability, readability, style) or security.
struct CodeIssue {
  std::string description{};
  IssueSeverity severity = IssueSeverity::MEDIUM;
  std::optional<std::int64_t> line_number{};
  std::string recommendation{};

  bool operator==(const CodeIssue&) const = default;

  static auto fields() {
    using record::field;
    using R = CodeIssue;
    return std::tuple{
        field("description", &R::description, "Description du problème"),
        field("severity", &R::severity, "Niveau de sévérité"),
        field("line_number", &R::line_number, "Numéro de ligne concernée").minimum(1),
        field("recommendation", &R::recommendation, "Comment corriger le problème").defaulted(),
    };
  }
};

struct CodeMetrics {
  std::int64_t lines_of_code = 0;
  std::int64_t function_count = 0;
  std::int64_t class_count = 0;
  std::int64_t cyclomatic_complexity = 0;

  bool operator==(const CodeMetrics&) const = default;

  static auto fields() {
    using record::field;
    using R = CodeMetrics;
    return std::tuple{
        field("lines_of_code", &R::lines_of_code, "Nombre de lignes de code").minimum(0),
        field("function_count", &R::function_count, "Nombre de fonctions").minimum(0),
        field("class_count", &R::class_count, "Nombre de classes").minimum(0),
        field("cyclomatic_complexity", &R::cyclomatic_complexity, "Complexité cyclomatique")
            .minimum(0),
    };
  }
};

struct FileAnalysisResult {
  std::string summary{};
  std::string objective{};
  std::vector<CodeIssue> quality_issues{};
  std::vector<CodeIssue> security_issues{};
  CodeMetrics metrics{};
  std::vector<std::string> dependencies{};
  std::vector<std::string> recommendations{};
  std::vector<std::string> main_functions{};
  std::vector<std::string> main_classes{};

  bool operator==(const FileAnalysisResult&) const = default;

  static auto fields() {
    using record::field;
    using R = FileAnalysisResult;
    return std::tuple{
        field("summary", &R::summary, "Résumé du fichier"),
        field("objective", &R::objective, "Objectif et fonction principale du fichier"),
        field("quality_issues", &R::quality_issues,
              "Issues de qualité (maintenabilité, lisibilité, style)")
            .defaulted(),
        field("security_issues", &R::security_issues, "Issues de sécurité potentielles")
            .defaulted(),
        field("metrics", &R::metrics, "Métriques de code"),
        field("dependencies", &R::dependencies, "Dépendances du fichier").defaulted(),
        field("recommendations", &R::recommendations, "Recommandations d'amélioration").defaulted(),
        field("main_functions", &R::main_functions, "Fonctions principales").defaulted(),
        field("main_classes", &R::main_classes, "Classes principales").defaulted(),
    };
  }
};

}  // namespace orvane

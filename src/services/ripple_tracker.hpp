#pragma once
// RippleTracker: « Analyse l'impact des bugs à travers le codebase via les dépendances ».
//
// Turns the security issues, risks and inconsistencies of per-file analyses into bug records
// with deterministic "BUG-XXXXXXXX" identifiers, keeps them in a registry, and lists the files
// each bug reaches through the dependency analyzer's reverse graph.
//
// Synchronous; prints nothing, touches no file, catches nothing: every failure reaches the
// caller. Bug records are shared (BugPtr) between the registry, the returned lists and
// FileAnalysis::bugs. Not thread-safe: one thread at a time.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "models/analysis_records.hpp"
#include "models/json_values.hpp"
#include "services/bug_registry.hpp"
#include "services/dependency_analyzer.hpp"

namespace orvane {

// The impact report: the impact records grouped by severity word, always the five entries
// "critical", "high", "medium", "low", "info", in that order.
using ImpactReport = std::vector<std::pair<std::string, std::vector<ImpactAnalysis>>>;

// The records of `report` under `severity` (an exact, case-sensitive match).
// Throws std::out_of_range naming the severity when the report has no such entry.
const std::vector<ImpactAnalysis>& impacts_for(const ImpactReport& report,
                                               std::string_view severity);

class RippleTracker {
 public:
  // `dependency_analyzer`: « Analyseur de dépendances avec graphe inverse construit »; it is
  // shared, not copied. `max_impact_depth`: « Profondeur maximale pour l'analyse d'impact »,
  // taken without bounds. Throws std::invalid_argument naming `dependency_analyzer` when null.
  explicit RippleTracker(std::shared_ptr<const DependencyAnalyzer> dependency_analyzer,
                         int max_impact_depth = 3);

  // « Génère un ID unique et déterministe pour un bug. » Returns « ID unique au format
  // "BUG-XXXXXXXX" »: the first 8 hexadecimal digits, upper-case, of the SHA-256 of
  // "file_path:line:bug_type:first 50 code points of description" ("None" for no line).
  // Throws std::invalid_argument naming `description` when it is not well-formed UTF-8.
  std::string generate_bug_id(std::string_view file_path, std::optional<int> line_number,
                              std::string_view bug_type, std::string_view description) const;

  // « Parse la sévérité depuis le texte d'un risque. » One of "critical", "high", "low",
  // "medium". Throws std::invalid_argument naming `text` when it is not well-formed UTF-8.
  std::string _parse_severity_from_text(std::string_view text) const;

  // « Extrait tous les bugs d'une FileAnalysis et leur assigne des IDs uniques. » Returns
  // « Liste des bugs identifiés »: security issues, then risks, then inconsistencies, each
  // record also stored in the registry. On failure, the records stored before it stay.
  std::vector<BugPtr> extract_bugs_from_analysis(const FileAnalysis& analysis);

  // « Analyse l'impact d'un bug sur le codebase. » « Utilise le graphe de dépendances inverse
  // pour trouver les fichiers affectés. » Sets `bug.impacted_files` to the direct files then
  // the transitive ones (depths 2 to max_impact_depth). A failure of the dependency analyzer
  // propagates before the bug is changed.
  ImpactAnalysis analyze_bug_impact(BugIdentifier& bug) const;

  // « Génère un rapport d'impact pour tous les bugs de toutes les analyses. » Extracts every
  // analysis (setting its `bugs`), then computes each bug's impact in order. A bug whose
  // severity is not a report key throws std::out_of_range naming it; by then every analysis is
  // extracted and every bug up to and including that one has its impacted files set.
  ImpactReport generate_impact_report(std::span<FileAnalysis> analyses);

  // « Retourne les bugs filtrés par sévérité minimale. » `min_severity`: « Sévérité minimale
  // ('critical', 'high', 'medium', 'low') »; an unknown word ranks as "medium", and a bug with
  // an unknown severity ranks as "low". Returns « Liste des bugs avec sévérité >=
  // min_severity », in registry order.
  std::vector<BugPtr> get_bugs_by_severity(std::string_view min_severity = "medium") const;

  // « Retourne tous les bugs enregistrés. » In registry order.
  std::vector<BugPtr> get_all_bugs() const;

  // « Convertit tous les bugs en dictionnaires pour la sérialisation JSON. » One object per
  // registered bug with the keys id, file_path, line_number, bug_type, severity, description,
  // recommendation, impacted_files, fixed, fixed_at, fix_summary, in that order; an absent
  // value is null.
  std::vector<Json> bugs_to_dict() const;

  const std::shared_ptr<const DependencyAnalyzer>& dependency_analyzer() const {
    return dependency_analyzer_;
  }
  int max_impact_depth() const { return max_impact_depth_; }
  const BugRegistry& bugs_registry() const { return bugs_registry_; }

 private:
  struct BugFields {
    std::string id;
    std::string file_path;
    std::optional<int> line_number;
    std::string bug_type;
    std::string severity;
    std::string description;
    std::string recommendation;
  };
  // Builds the record from `fields`, appends it to `found` and stores it in the registry.
  BugPtr register_bug(BugFields fields, std::vector<BugPtr>& found);

  std::shared_ptr<const DependencyAnalyzer> dependency_analyzer_;
  int max_impact_depth_;
  BugRegistry bugs_registry_;
};

}  // namespace orvane

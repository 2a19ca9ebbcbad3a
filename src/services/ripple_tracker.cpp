#include "services/ripple_tracker.hpp"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>
#include <string>
#include <utility>

#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

constexpr std::size_t kDescriptionKeyLength = 50;
constexpr std::string_view kInconsistencyRecommendation = "Vérifier et corriger l'incohérence";
constexpr std::array<std::string_view, 5> kReportSeverities = {"critical", "high", "medium", "low",
                                                               "info"};

struct SeverityRow {
  std::array<std::string_view, 3> words;
  std::string_view severity;
};

// Tested in order; the first row holding a word found in the lower-cased text wins.
constexpr std::array<SeverityRow, 3> kSeverityRows = {{
    {{"critical", "critique", ""}, "critical"},
    {{"high", "haute", "\u00e9lev\u00e9"}, "high"},
    {{"low", "basse", "faible"}, "low"},
}};

void require_utf8(std::string_view value, std::string_view parameter) {
  if (!text::is_valid_utf8(value)) {
    throw std::invalid_argument(std::string(parameter) + ": not well-formed UTF-8 text");
  }
}

std::string sha256_prefix_upper(std::string_view key, std::size_t hex_digits) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digest_size = 0;
  if (EVP_Digest(key.data(), key.size(), digest.data(), &digest_size, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 digest failed");
  }
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; out.size() < hex_digits; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 0x0F]);
  }
  out.resize(hex_digits);
  return out;
}

// Smaller is more severe; used only to filter the registry.
constexpr std::array<std::pair<std::string_view, int>, 4> severity_order = {{
    {"critical", 0},
    {"high", 1},
    {"medium", 2},
    {"low", 3},
}};

// The rank of `severity` in severity_order (an exact match), or `unknown_rank`.
int rank_of(std::string_view severity, int unknown_rank) {
  for (const auto& [word, rank] : severity_order) {
    if (word == severity) return rank;
  }
  return unknown_rank;
}

// The list of `report` under `severity`, writable or not depending on `Report`.
template <typename Report>
auto& entry_for(Report& report, std::string_view severity) {
  for (auto& [key, impacts] : report) {
    if (key == severity) return impacts;
  }
  throw std::out_of_range("unknown severity '" + std::string(severity) + "'");
}

}  // namespace

const std::vector<ImpactAnalysis>& impacts_for(const ImpactReport& report,
                                               std::string_view severity) {
  return entry_for(report, severity);
}

RippleTracker::RippleTracker(std::shared_ptr<const DependencyAnalyzer> dependency_analyzer,
                             int max_impact_depth)
    : dependency_analyzer_(std::move(dependency_analyzer)), max_impact_depth_(max_impact_depth) {
  if (!dependency_analyzer_) {
    throw std::invalid_argument("dependency_analyzer: a dependency analyzer is required");
  }
}

std::string RippleTracker::generate_bug_id(std::string_view file_path,
                                           std::optional<int> line_number,
                                           std::string_view bug_type,
                                           std::string_view description) const {
  require_utf8(description, "description");
  std::string key(file_path);
  key.push_back(':');
  key.append(line_number ? std::to_string(*line_number) : std::string("None"));
  key.push_back(':');
  key.append(bug_type);
  key.push_back(':');
  key.append(text::first_code_points(description, kDescriptionKeyLength));
  return "BUG-" + sha256_prefix_upper(key, 8);
}

std::string RippleTracker::_parse_severity_from_text(std::string_view text) const {
  require_utf8(text, "text");
  const std::string lowered = text::to_lower(text);
  for (const SeverityRow& row : kSeverityRows) {
    for (const std::string_view word : row.words) {
      if (!word.empty() && lowered.find(word) != std::string::npos) {
        return std::string(row.severity);
      }
    }
  }
  return "medium";
}

BugPtr RippleTracker::register_bug(BugFields fields, std::vector<BugPtr>& found) {
  // The eight fields the extraction decides; fixed, fixed_at and fix_summary keep the record's
  // defaults.
  auto record = std::make_shared<BugIdentifier>();
  record->id = std::move(fields.id);
  record->file_path = std::move(fields.file_path);
  record->line_number = fields.line_number;
  record->bug_type = std::move(fields.bug_type);
  record->severity = std::move(fields.severity);
  record->description = std::move(fields.description);
  record->recommendation = std::move(fields.recommendation);
  record->impacted_files = {};
  found.push_back(record);
  bugs_registry_.store(record);
  return record;
}

std::vector<BugPtr> RippleTracker::extract_bugs_from_analysis(const FileAnalysis& analysis) {
  std::vector<BugPtr> found;
  const std::string& path = analysis.file_path;
  for (const SecurityIssue& issue : analysis.security_issues) {
    register_bug(
        BugFields{
            .id = generate_bug_id(path, issue.line_number, "security", issue.description),
            .file_path = path,
            .line_number = issue.line_number,
            .bug_type = "security",
            .severity = issue.severity,
            .description = issue.description,
            .recommendation = issue.recommendation,
        },
        found);
  }
  for (const std::string& risk : analysis.risks) {
    std::string severity = _parse_severity_from_text(risk);
    register_bug(
        BugFields{
            .id = generate_bug_id(path, std::nullopt, "risk", risk),
            .file_path = path,
            .line_number = std::nullopt,
            .bug_type = "risk",
            .severity = std::move(severity),
            .description = risk,
            .recommendation = "",
        },
        found);
  }
  for (const std::string& inconsistency : analysis.inconsistencies) {
    register_bug(
        BugFields{
            .id = generate_bug_id(path, std::nullopt, "inconsistency", inconsistency),
            .file_path = path,
            .line_number = std::nullopt,
            .bug_type = "inconsistency",
            .severity = "medium",
            .description = inconsistency,
            .recommendation = std::string(kInconsistencyRecommendation),
        },
        found);
  }
  return found;
}

ImpactAnalysis RippleTracker::analyze_bug_impact(BugIdentifier& bug) const {
  const DependentsByDepth dependents =
      dependency_analyzer_->get_dependents(bug.file_path, max_impact_depth_);

  std::vector<std::string> direct;
  if (const auto level = dependents.find(1); level != dependents.end()) direct = level->second;

  std::vector<std::string> transitive;
  for (int depth = 2; depth <= max_impact_depth_; ++depth) {
    const auto level = dependents.find(depth);
    if (level != dependents.end()) {
      transitive.insert(transitive.end(), level->second.begin(), level->second.end());
    }
  }

  std::vector<std::string> impacted = direct;
  impacted.insert(impacted.end(), transitive.begin(), transitive.end());
  bug.impacted_files = std::move(impacted);

  std::vector<ImpactLink> chain;
  chain.reserve(direct.size());
  for (const std::string& file : direct) chain.push_back(ImpactLink{bug.file_path, file});

  return ImpactAnalysis{
      .bug_id = bug.id,
      .source_file = bug.file_path,
      .directly_impacted = std::move(direct),
      .transitively_impacted = std::move(transitive),
      .impact_chain = std::move(chain),
  };
}

ImpactReport RippleTracker::generate_impact_report(std::span<FileAnalysis> analyses) {
  std::vector<BugPtr> all_bugs;
  for (FileAnalysis& analysis : analyses) {
    analysis.bugs = extract_bugs_from_analysis(analysis);
    all_bugs.insert(all_bugs.end(), analysis.bugs.begin(), analysis.bugs.end());
  }

  ImpactReport report;
  report.reserve(kReportSeverities.size());
  for (const std::string_view severity : kReportSeverities) {
    report.emplace_back(std::string(severity), std::vector<ImpactAnalysis>{});
  }

  for (const BugPtr& bug : all_bugs) {
    ImpactAnalysis impact = analyze_bug_impact(*bug);
    entry_for(report, bug->severity).push_back(std::move(impact));
  }
  return report;
}

std::vector<BugPtr> RippleTracker::get_bugs_by_severity(std::string_view min_severity) const {
  const int threshold = rank_of(min_severity, 2);  // an unknown threshold acts as "medium"
  std::vector<BugPtr> kept;
  for (const BugPtr& bug : bugs_registry_.records()) {
    if (rank_of(bug->severity, 3) <= threshold) kept.push_back(bug);  // unknown: as "low"
  }
  return kept;
}

std::vector<BugPtr> RippleTracker::get_all_bugs() const {
  return bugs_registry_.records();
}

std::vector<Json> RippleTracker::bugs_to_dict() const {
  const auto optional_value = [](const auto& value) {
    return value ? Json(*value) : Json(nullptr);
  };
  std::vector<Json> maps;
  maps.reserve(bugs_registry_.size());
  for (const BugPtr& bug : bugs_registry_.records()) {
    Json map = Json::object();
    map["id"] = bug->id;
    map["file_path"] = bug->file_path;
    map["line_number"] = optional_value(bug->line_number);
    map["bug_type"] = bug->bug_type;
    map["severity"] = bug->severity;
    map["description"] = bug->description;
    map["recommendation"] = bug->recommendation;
    map["impacted_files"] = bug->impacted_files;
    map["fixed"] = bug->fixed;
    map["fixed_at"] = optional_value(bug->fixed_at);
    map["fix_summary"] = optional_value(bug->fix_summary);
    maps.push_back(std::move(map));
  }
  return maps;
}

}  // namespace orvane

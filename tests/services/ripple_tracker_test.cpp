#include "services/ripple_tracker.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvane {
namespace {

using Files = std::vector<std::string>;

// Answers get_dependents from a fixed table per file and records the calls it gets.
class ScriptedDependencies final : public DependencyAnalyzer {
 public:
  std::map<std::string, DependentsByDepth> answers;
  std::string failing_file;
  mutable std::vector<std::pair<std::string, int>> calls;

  std::vector<DependencyRecord> extract_dependencies(const std::string&, const std::string&,
                                                     const std::string&) const override {
    return {};
  }
  DependentsByDepth get_dependents(const std::string& file_path, int max_depth) const override {
    calls.emplace_back(file_path, max_depth);
    if (file_path == failing_file) throw std::runtime_error("graph unavailable");
    const auto found = answers.find(file_path);
    return found == answers.end() ? DependentsByDepth{} : found->second;
  }
};

class RippleTrackerTest : public ::testing::Test {
 protected:
  std::shared_ptr<ScriptedDependencies> graph = std::make_shared<ScriptedDependencies>();
  RippleTracker tracker{graph};
};

std::vector<std::string> ids_of(const std::vector<BugPtr>& bugs) {
  std::vector<std::string> ids;
  for (const BugPtr& bug : bugs) ids.push_back(bug->id);
  return ids;
}

std::vector<std::string> severities_of(const std::vector<BugPtr>& bugs) {
  std::vector<std::string> out;
  for (const BugPtr& bug : bugs) out.push_back(bug->severity);
  return out;
}

SecurityIssue issue_of(std::optional<int> line_number, std::string description,
                       std::string severity, std::string recommendation = "") {
  SecurityIssue issue;
  issue.line_number = line_number;
  issue.description = std::move(description);
  issue.severity = std::move(severity);
  issue.recommendation = std::move(recommendation);
  return issue;
}

BugIdentifier bug_in(std::string file_path, std::vector<std::string> impacted_files) {
  BugIdentifier bug;
  bug.id = "BUG-00000000";
  bug.file_path = std::move(file_path);
  bug.impacted_files = std::move(impacted_files);
  return bug;
}

FileAnalysis analysis_of(std::string path, std::vector<SecurityIssue> issues, Files risks,
                         Files inconsistencies) {
  FileAnalysis analysis;
  analysis.file_path = std::move(path);
  analysis.security_issues = std::move(issues);
  analysis.risks = std::move(risks);
  analysis.inconsistencies = std::move(inconsistencies);
  return analysis;
}

// Expected values: `printf '%s' KEY | sha256sum`, first 8 digits in upper case.
TEST_F(RippleTrackerTest, IdentifierIsThePrefixOfTheKeyTextsSha256) {
  const std::string fifty_e_acute = [] {
    std::string text;
    for (int i = 0; i < 50; ++i) text += "é";
    return text;
  }();
  struct Case {
    std::string file_path;
    std::optional<int> line_number;
    std::string bug_type;
    std::string description;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"src/app.py", std::nullopt, "risk", "Fuite mémoire", "BUG-57EE4797"},
      {"src/app.py", 42, "security", "SQL injection", "BUG-AE1820D0"},
      {"a.py", std::nullopt, "inconsistency", "", "BUG-4C7396DB"},
      {"chemin/élève.py", 7, "security", "Données sensibles exposées é", "BUG-8FB0CF9E"},
      {"f.py", -3, "security", "x", "BUG-55E589D0"},
      // Fifty two-byte characters are hashed whole; a fifty-first is cut off.
      {"f.py", std::nullopt, "risk", fifty_e_acute, "BUG-2567EA22"},
      {"f.py", std::nullopt, "risk", fifty_e_acute + "é suite ignorée", "BUG-2567EA22"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tracker.generate_bug_id(c.file_path, c.line_number, c.bug_type, c.description),
              c.expected)
        << c.description;
  }
}

TEST_F(RippleTrackerTest, DescriptionsDifferingOnlyAfterTheFiftiethCharacterShareAnIdentifier) {
  const std::string fifty(50, 'a');
  const auto id = [&](const std::string& description) {
    return tracker.generate_bug_id("f.py", 1, "risk", description);
  };
  EXPECT_EQ(id(fifty + "X"), id(fifty + "Y"));
  EXPECT_EQ(id(fifty + "X"), id(fifty));
  EXPECT_NE(id(std::string(49, 'a') + "X"), id(fifty));
  EXPECT_NE(tracker.generate_bug_id("f.py", std::nullopt, "risk", "d"),
            tracker.generate_bug_id("f.py", 0, "risk", "d"));
}

TEST_F(RippleTrackerTest, IdentifierRejectsIllFormedDescription) {
  try {
    tracker.generate_bug_id("f.py", 1, "risk", "bad \xC3");
    FAIL() << "expected std::invalid_argument";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "description: not well-formed UTF-8 text");
  }
}

TEST_F(RippleTrackerTest, SeverityGradingFollowsTheRowsInOrder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Risque CRITIQUE de perte de données", "critical"},
      {"critical path", "critical"},
      {"impact faible mais coût élevé", "high"},
      {"critique mais priorité basse", "critical"},
      {"this may allow a bypass", "low"},
      {"below the threshold", "low"},
      {"slow query", "low"},
      {"see the highlight", "high"},
      {"probabilité haute", "high"},
      {"risque ÉLEVÉ", "high"},
      {"risque eleve", "medium"},
      {"risque e\u0301leve\u0301", "medium"},  // combining accents are not folded
      {"Faible couverture", "low"},
      {"sans mot clé", "medium"},
      {"", "medium"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(tracker._parse_severity_from_text(text), expected) << text;
  }
}

TEST_F(RippleTrackerTest, ExtractionBuildsRecordsInSourceOrderAndRegistersThem) {
  const FileAnalysis analysis =
      analysis_of("src/db.py",
                  {issue_of(12, "Injection SQL", "INFO", "Requêtes paramétrées"),
                   issue_of(std::nullopt, "Secret en clair", "high", "Coffre")},
                  {"Risque critique de blocage"}, {"Le nom ne correspond pas"});

  const std::vector<BugPtr> bugs = tracker.extract_bugs_from_analysis(analysis);

  ASSERT_EQ(bugs.size(), 4u);
  const BugIdentifier& issue = *bugs[0];
  EXPECT_EQ(issue.id, tracker.generate_bug_id("src/db.py", 12, "security", "Injection SQL"));
  EXPECT_EQ(issue.file_path, "src/db.py");
  EXPECT_EQ(issue.line_number, 12);
  EXPECT_EQ(issue.bug_type, "security");
  EXPECT_EQ(issue.severity, "INFO");  // passed on unchanged
  EXPECT_EQ(issue.recommendation, "Requêtes paramétrées");
  EXPECT_TRUE(issue.impacted_files.empty());
  EXPECT_FALSE(issue.fixed);

  EXPECT_EQ(bugs[1]->line_number, std::nullopt);
  EXPECT_EQ(bugs[1]->id,
            tracker.generate_bug_id("src/db.py", std::nullopt, "security", "Secret en clair"));

  const BugIdentifier& risk = *bugs[2];
  EXPECT_EQ(risk.bug_type, "risk");
  EXPECT_EQ(risk.severity, "critical");
  EXPECT_EQ(risk.recommendation, "");
  EXPECT_EQ(risk.line_number, std::nullopt);

  const BugIdentifier& inconsistency = *bugs[3];
  EXPECT_EQ(inconsistency.bug_type, "inconsistency");
  EXPECT_EQ(inconsistency.severity, "medium");
  EXPECT_EQ(inconsistency.recommendation, "Vérifier et corriger l'incohérence");
  EXPECT_EQ(inconsistency.description, "Le nom ne correspond pas");

  EXPECT_EQ(ids_of(tracker.get_all_bugs()), ids_of(bugs));
  EXPECT_EQ(tracker.get_all_bugs()[0], bugs[0]);  // the same record, not a copy
}

TEST_F(RippleTrackerTest, EmptyAnalysisYieldsNothingAndRegistersNothing) {
  EXPECT_TRUE(tracker.extract_bugs_from_analysis(analysis_of("a.py", {}, {}, {})).empty());
  EXPECT_TRUE(tracker.bugs_registry().empty());
}

TEST_F(RippleTrackerTest, IdenticalRisksGiveTwoRecordsButOneRegistryEntry) {
  const auto bugs = tracker.extract_bugs_from_analysis(
      analysis_of("a.py", {}, {"même risque", "même risque"}, {}));
  ASSERT_EQ(bugs.size(), 2u);
  EXPECT_EQ(bugs[0]->id, bugs[1]->id);
  EXPECT_NE(bugs[0], bugs[1]);
  ASSERT_EQ(tracker.get_all_bugs().size(), 1u);
  EXPECT_EQ(tracker.get_all_bugs()[0], bugs[1]);  // the one stored last
}

TEST_F(RippleTrackerTest, ReExtractionReplacesRecordsInPlaceKeepingFirstOrder) {
  tracker.extract_bugs_from_analysis(analysis_of("a.py", {}, {"r1", "r2"}, {}));
  tracker.extract_bugs_from_analysis(analysis_of("b.py", {}, {"r3"}, {}));
  const auto second = tracker.extract_bugs_from_analysis(analysis_of("a.py", {}, {"r2", "r1"}, {}));

  const auto all = tracker.get_all_bugs();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0], second[1]);  // r1 keeps the first place, with the new record
  EXPECT_EQ(all[1], second[0]);
  EXPECT_EQ(all[2]->file_path, "b.py");
}

TEST_F(RippleTrackerTest, ExtractionFailureKeepsWhatWasRegisteredBefore) {
  EXPECT_THROW(tracker.extract_bugs_from_analysis(analysis_of("a.py", {}, {"ok", "bad \xFF"}, {})),
               std::invalid_argument);
  ASSERT_EQ(tracker.get_all_bugs().size(), 1u);
  EXPECT_EQ(tracker.get_all_bugs()[0]->description, "ok");
}

TEST_F(RippleTrackerTest, ImpactSplitsDirectAndTransitiveFilesUpToTheMaximumDepth) {
  graph->answers["a"] = {{1, {"b", "c"}}, {2, {"d"}}, {3, {"e"}}, {4, {"f"}}};
  BugIdentifier bug = bug_in("a", {"stale"});

  const ImpactAnalysis impact = tracker.analyze_bug_impact(bug);

  EXPECT_EQ(graph->calls, (std::vector<std::pair<std::string, int>>{{"a", 3}}));
  EXPECT_EQ(impact.bug_id, "BUG-00000000");
  EXPECT_EQ(impact.source_file, "a");
  EXPECT_EQ(impact.directly_impacted, (Files{"b", "c"}));
  EXPECT_EQ(impact.transitively_impacted, (Files{"d", "e"}));
  EXPECT_EQ(impact.impact_chain, (std::vector<ImpactLink>{{"a", "b"}, {"a", "c"}}));
  EXPECT_EQ(bug.impacted_files, (Files{"b", "c", "d", "e"}));
}

TEST_F(RippleTrackerTest, ImpactOfShapesOfDependentsMaps) {
  struct Case {
    std::string name;
    int max_depth;
    DependentsByDepth dependents;
    Files direct;
    Files transitive;
  };
  const std::vector<Case> cases = {
      {"no dependents", 3, {}, {}, {}},
      {"depth two without depth one", 3, {{2, {"d"}}}, {}, {"d"}},
      {"depth one limit ignores depth two", 1, {{1, {"b"}}, {2, {"d"}}}, {"b"}, {}},
      {"depth zero and below are ignored", 3, {{0, {"z"}}, {-1, {"y"}}, {1, {"b"}}}, {"b"}, {}},
      {"repeats and the file itself are kept",
       3,
       {{1, {"b", "b"}}, {2, {"a", "b"}}},
       {"b", "b"},
       {"a", "b"}},
  };
  for (const Case& c : cases) {
    auto scripted = std::make_shared<ScriptedDependencies>();
    scripted->answers["a"] = c.dependents;
    const RippleTracker limited(scripted, c.max_depth);
    BugIdentifier bug = bug_in("a", {"stale"});
    const ImpactAnalysis impact = limited.analyze_bug_impact(bug);
    EXPECT_EQ(impact.directly_impacted, c.direct) << c.name;
    EXPECT_EQ(impact.transitively_impacted, c.transitive) << c.name;
    EXPECT_EQ(impact.impact_chain.size(), c.direct.size()) << c.name;
    Files impacted = c.direct;
    impacted.insert(impacted.end(), c.transitive.begin(), c.transitive.end());
    EXPECT_EQ(bug.impacted_files, impacted) << c.name;
  }
}

TEST_F(RippleTrackerTest, FailingDependencyLookupLeavesTheBugUnchanged) {
  graph->failing_file = "a";
  BugIdentifier bug = bug_in("a", {"kept"});
  EXPECT_THROW(tracker.analyze_bug_impact(bug), std::runtime_error);
  EXPECT_EQ(bug.impacted_files, (Files{"kept"}));
}

TEST_F(RippleTrackerTest, ReportGroupsImpactsBySeverityInFixedKeyOrder) {
  graph->answers["a.py"] = {{1, {"b.py"}}, {2, {"c.py"}}};
  std::vector<FileAnalysis> analyses = {
      analysis_of("a.py", {issue_of(3, "XSS", "info")}, {"Risque critique", "risque faible"},
                  {"incohérence"}),
      analysis_of("b.py", {}, {"autre risque critique"}, {}),
  };

  const ImpactReport report = tracker.generate_impact_report(analyses);

  std::vector<std::string> keys;
  for (const auto& [severity, impacts] : report) keys.push_back(severity);
  EXPECT_EQ(keys, (Files{"critical", "high", "medium", "low", "info"}));

  const auto sources = [&](std::string_view severity) {
    Files out;
    for (const ImpactAnalysis& impact : impacts_for(report, severity)) {
      out.push_back(impact.source_file);
    }
    return out;
  };
  EXPECT_EQ(sources("critical"), (Files{"a.py", "b.py"}));
  EXPECT_EQ(sources("high"), Files{});
  EXPECT_EQ(sources("medium"), (Files{"a.py"}));
  EXPECT_EQ(sources("low"), (Files{"a.py"}));
  EXPECT_EQ(sources("info"), (Files{"a.py"}));
  EXPECT_EQ(impacts_for(report, "critical")[0].directly_impacted, (Files{"b.py"}));

  // Each analysis holds its own bugs, shared with the registry, with their impact set.
  ASSERT_EQ(analyses[0].bugs.size(), 4u);
  EXPECT_EQ(analyses[0].bugs[0]->impacted_files, (Files{"b.py", "c.py"}));
  EXPECT_EQ(tracker.get_all_bugs()[0], analyses[0].bugs[0]);
  const std::vector<Json> maps = tracker.bugs_to_dict();
  EXPECT_EQ(maps[0]["impacted_files"], Json::array({"b.py", "c.py"}));
}

TEST_F(RippleTrackerTest, ReportOfNoAnalysesHasFiveEmptyLists) {
  const ImpactReport report = tracker.generate_impact_report({});
  ASSERT_EQ(report.size(), 5u);
  for (const auto& [severity, impacts] : report) EXPECT_TRUE(impacts.empty()) << severity;
  EXPECT_TRUE(tracker.bugs_registry().empty());
}

TEST_F(RippleTrackerTest, UnknownSeverityFailsAfterExtractingEverythingAndImpactingUpToIt) {
  graph->answers["a.py"] = {{1, {"x.py"}}};
  graph->answers["b.py"] = {{1, {"y.py"}}};
  std::vector<FileAnalysis> analyses = {
      analysis_of("a.py", {issue_of(std::nullopt, "d1", "CRITICAL")}, {"second"}, {}),
      analysis_of("b.py", {}, {"third"}, {}),
  };

  try {
    tracker.generate_impact_report(analyses);
    FAIL() << "expected std::out_of_range";
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "unknown severity 'CRITICAL'");
  }

  EXPECT_EQ(tracker.get_all_bugs().size(), 3u);
  ASSERT_EQ(analyses[0].bugs.size(), 2u);
  ASSERT_EQ(analyses[1].bugs.size(), 1u);
  EXPECT_EQ(analyses[0].bugs[0]->impacted_files, (Files{"x.py"}));  // the failing one
  EXPECT_TRUE(analyses[0].bugs[1]->impacted_files.empty());
  EXPECT_TRUE(analyses[1].bugs[0]->impacted_files.empty());
}

TEST_F(RippleTrackerTest, ExtractionFailureEndsTheReportAtThatAnalysis) {
  std::vector<FileAnalysis> analyses = {analysis_of("a.py", {}, {"risque"}, {}),
                                        analysis_of("b.py", {}, {"bad \xFF"}, {}),
                                        analysis_of("c.py", {}, {"jamais vu"}, {})};
  EXPECT_THROW(tracker.generate_impact_report(analyses), std::invalid_argument);
  EXPECT_EQ(analyses[0].bugs.size(), 1u);
  EXPECT_TRUE(analyses[1].bugs.empty());
  EXPECT_TRUE(analyses[2].bugs.empty());
  EXPECT_EQ(tracker.get_all_bugs().size(), 1u);
  EXPECT_TRUE(graph->calls.empty());  // no impact is computed before every extraction is done
}

TEST_F(RippleTrackerTest, RerunningTheReportReplacesRecordsEverywhere) {
  std::vector<FileAnalysis> analyses = {analysis_of("a.py", {}, {"risque"}, {})};
  tracker.generate_impact_report(analyses);
  const BugPtr first = analyses[0].bugs[0];
  graph->answers["a.py"] = {{1, {"new.py"}}};

  tracker.generate_impact_report(analyses);

  ASSERT_EQ(tracker.get_all_bugs().size(), 1u);
  EXPECT_NE(analyses[0].bugs[0], first);
  EXPECT_EQ(tracker.get_all_bugs()[0], analyses[0].bugs[0]);
  EXPECT_EQ(analyses[0].bugs[0]->impacted_files, (Files{"new.py"}));
  EXPECT_TRUE(first->impacted_files.empty());
}

TEST_F(RippleTrackerTest, ChangesThroughOneHandleAreSeenThroughAll) {
  std::vector<FileAnalysis> analyses = {analysis_of("a.py", {}, {"risque"}, {})};
  tracker.generate_impact_report(analyses);
  const BugPtr from_filter = tracker.get_bugs_by_severity("low").at(0);

  from_filter->impacted_files = {"seen.py"};

  EXPECT_EQ(analyses[0].bugs[0]->impacted_files, (Files{"seen.py"}));
  EXPECT_EQ(tracker.get_all_bugs()[0]->impacted_files, (Files{"seen.py"}));
  EXPECT_EQ(tracker.bugs_to_dict()[0]["impacted_files"], Json::array({"seen.py"}));
}

TEST_F(RippleTrackerTest, SeverityFilterRanksUnknownThresholdsAsMediumAndUnknownBugsAsLow) {
  tracker.extract_bugs_from_analysis(
      analysis_of("a.py",
                  {issue_of(std::nullopt, "i", "info"), issue_of(std::nullopt, "u", "HIGH"),
                   issue_of(std::nullopt, "h", "high")},
                  {"critique", "faible", "neutre"}, {}));
  // Registry order: info, HIGH, high, critical, low, medium.
  const std::vector<std::pair<std::string, Files>> cases = {
      {"medium", {"high", "critical", "medium"}},
      {"low", {"info", "HIGH", "high", "critical", "low", "medium"}},
      {"critical", {"critical"}},
      {"high", {"high", "critical"}},
      {"urgent", {"high", "critical", "medium"}},
      {"CRITICAL", {"high", "critical", "medium"}},
  };
  for (const auto& [threshold, expected] : cases) {
    EXPECT_EQ(severities_of(tracker.get_bugs_by_severity(threshold)), expected) << threshold;
  }
  EXPECT_EQ(severities_of(tracker.get_bugs_by_severity()), (Files{"high", "critical", "medium"}));
}

TEST_F(RippleTrackerTest, ReadOutsOfAnEmptyRegistryAreEmpty) {
  EXPECT_TRUE(tracker.get_bugs_by_severity().empty());
  EXPECT_TRUE(tracker.get_all_bugs().empty());
  EXPECT_TRUE(tracker.bugs_to_dict().empty());
}

TEST_F(RippleTrackerTest, BugMapsHoldElevenKeysInOrder) {
  tracker.extract_bugs_from_analysis(
      analysis_of("a.py", {issue_of(5, "d", "low")}, {"risque"}, {}));
  tracker.get_all_bugs()[0]->fixed = true;
  tracker.get_all_bugs()[0]->fixed_at = "2026-01-01T00:00:00";

  const std::vector<Json> maps = tracker.bugs_to_dict();

  ASSERT_EQ(maps.size(), 2u);
  Files keys;
  for (const auto& item : maps[0].items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (Files{"id", "file_path", "line_number", "bug_type", "severity", "description",
                         "recommendation", "impacted_files", "fixed", "fixed_at", "fix_summary"}));
  EXPECT_EQ(maps[0]["line_number"], 5);
  EXPECT_EQ(maps[0]["fixed"], true);
  EXPECT_EQ(maps[0]["fixed_at"], "2026-01-01T00:00:00");
  EXPECT_TRUE(maps[0]["fix_summary"].is_null());
  EXPECT_TRUE(maps[1]["line_number"].is_null());
  EXPECT_EQ(maps[1]["impacted_files"], Json::array());
}

TEST(RippleTrackerConstruction, RequiresADependencyAnalyzer) {
  try {
    RippleTracker tracker(nullptr);
    FAIL() << "expected std::invalid_argument";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "dependency_analyzer: a dependency analyzer is required");
  }
}

}  // namespace
}  // namespace orvane

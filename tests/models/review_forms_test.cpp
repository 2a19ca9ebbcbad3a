#include "models/review_forms.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "text/read_text.hpp"

namespace orvane {
namespace {

std::filesystem::path golden_path(const char* name) {
  const char* source_dir = std::getenv("ORVANE_SOURCE_DIR");
  const std::filesystem::path tests_dir =
      source_dir != nullptr ? std::filesystem::path(source_dir) / "tests"
                            : std::filesystem::path(__FILE__).parent_path().parent_path();
  return tests_dir / "models" / "golden" / name;
}

Json valid_issue() {
  return Json::parse(R"json({
    "file_path": "src/app.cpp",
    "line_number": 12,
    "line_end": 14,
    "issue_type": "bug",
    "severity": "high",
    "title": "Off by one",
    "description": "The loop reads one element past the end.",
    "suggestion": "Use < instead of <=.",
    "code_snippet": "for (i = 0; i <= n; ++i)"
  })json");
}

Json review_with_issue(const Json& issue) {
  return Json{{"summary", "Revue"}, {"issues", Json::array({issue})}};
}

// The message of the ValidationError that reading `input` raises, or "" when it reads.
std::string read_error(const Json& input) {
  try {
    record::from_json<PRAnalysisResultSchema>(input);
  } catch (const ValidationError& error) {
    return error.what();
  }
  return "";
}

TEST(PRAnalysisResult, AnAnswerWithOnlyASummaryTakesEveryDefault) {
  const auto result = record::from_json<PRAnalysisResultSchema>(Json{{"summary", "RAS"}});
  EXPECT_EQ(result.summary, "RAS");
  EXPECT_TRUE(result.issues.empty());
  EXPECT_EQ(result.risk_score, 0.0);
  EXPECT_EQ(result.approval_recommendation, "COMMENT");
  EXPECT_TRUE(result.positive_points.empty());
  EXPECT_TRUE(result.general_suggestions.empty());
}

TEST(PRAnalysisResult, RequiresASummary) {
  EXPECT_EQ(read_error(Json::object()), "invalid record: summary: missing required field");
  EXPECT_EQ(read_error(Json{{"summary", nullptr}}),
            "invalid record: summary: expected a string, got null");
}

struct RiskCase {
  Json value;
  double read;        // the value read, when accepted
  const char* error;  // "" when accepted
};

class RiskScore : public ::testing::TestWithParam<RiskCase> {};

TEST_P(RiskScore, IsANumberFromZeroToTenInclusive) {
  const RiskCase& c = GetParam();
  const Json input{{"summary", "s"}, {"risk_score", c.value}};
  EXPECT_EQ(read_error(input), c.error);
  if (std::string(c.error).empty()) {
    EXPECT_EQ(record::from_json<PRAnalysisResultSchema>(input).risk_score, c.read);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RiskScore,
    ::testing::Values(
        RiskCase{0, 0.0, ""}, RiskCase{10, 10.0, ""}, RiskCase{7, 7.0, ""}, RiskCase{0.0, 0.0, ""},
        RiskCase{10.0, 10.0, ""}, RiskCase{3.5, 3.5, ""},
        RiskCase{10.5, 0, "invalid record: risk_score: must be at most 10.0 (got 10.5)"},
        RiskCase{-0.1, 0, "invalid record: risk_score: must be at least 0.0 (got -0.1)"},
        RiskCase{11, 0, "invalid record: risk_score: must be at most 10.0 (got 11.0)"},
        RiskCase{"7", 0, "invalid record: risk_score: expected a number, got a string"},
        RiskCase{true, 0, "invalid record: risk_score: expected a number, got a boolean"},
        RiskCase{nullptr, 0, "invalid record: risk_score: expected a number, got null"}));

struct IssueCase {
  const char* key;
  std::optional<Json> value;  // the value the key gets; nothing removes the key
  const char* error;          // "" when the issue is valid
};

class IssueField : public ::testing::TestWithParam<IssueCase> {};

TEST_P(IssueField, IsCheckedAgainstItsDeclaration) {
  const IssueCase& c = GetParam();
  Json issue = valid_issue();
  if (c.value) {
    issue[c.key] = *c.value;
  } else {
    issue.erase(c.key);
  }
  EXPECT_EQ(read_error(review_with_issue(issue)), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IssueField,
    ::testing::Values(
        IssueCase{"severity", "critical", ""},
        IssueCase{"severity", "CRITICAL",
                  "invalid record: issues[0].severity: \"CRITICAL\" is not one of "
                  "\"critical\", \"high\", \"medium\", \"low\", \"info\""},
        IssueCase{"severity", "Critical",
                  "invalid record: issues[0].severity: \"Critical\" is not one of "
                  "\"critical\", \"high\", \"medium\", \"low\", \"info\""},
        IssueCase{"issue_type", "best_practice", ""},
        IssueCase{"issue_type", "best practice",
                  "invalid record: issues[0].issue_type: \"best practice\" is not one of "
                  "\"security\", \"bug\", \"performance\", \"style\", \"documentation\", "
                  "\"logic\", \"test\", \"best_practice\""},
        IssueCase{"issue_type", "BEST_PRACTICE",
                  "invalid record: issues[0].issue_type: \"BEST_PRACTICE\" is not one of "
                  "\"security\", \"bug\", \"performance\", \"style\", \"documentation\", "
                  "\"logic\", \"test\", \"best_practice\""},
        IssueCase{"line_number", "12",
                  "invalid record: issues[0].line_number: expected an integer, got a string"},
        IssueCase{"line_number", -3, ""}, IssueCase{"line_number", nullptr, ""},
        IssueCase{"line_number", std::nullopt, ""}, IssueCase{"line_end", std::nullopt, ""},
        IssueCase{"code_snippet", std::nullopt, ""},
        IssueCase{"suggestion", std::nullopt,
                  "invalid record: issues[0].suggestion: missing required field"},
        IssueCase{"file_path", std::nullopt,
                  "invalid record: issues[0].file_path: missing required field"},
        IssueCase{"severity", std::nullopt,
                  "invalid record: issues[0].severity: missing required field"}));

TEST(PRIssue, OptionalFieldsLeftOutAreAbsent) {
  Json issue = valid_issue();
  issue.erase("line_number");
  issue.erase("line_end");
  issue.erase("code_snippet");
  const auto read = record::from_json<PRIssueSchema>(issue);
  EXPECT_EQ(read.line_number, std::nullopt);
  EXPECT_EQ(read.line_end, std::nullopt);
  EXPECT_EQ(read.code_snippet, std::nullopt);
  EXPECT_EQ(read.severity, PRIssueSeverityEnum::HIGH);
  EXPECT_EQ(read.issue_type, PRIssueTypeEnum::BUG);
}

TEST(PRAnalysisResult, NamesEveryInvalidIssueByItsIndex) {
  Json first_bad = valid_issue();
  first_bad["severity"] = "urgent";
  Json second_bad = valid_issue();
  second_bad.erase("title");
  second_bad["line_end"] = true;
  const Json input{{"summary", "s"},
                   {"issues", Json::array({valid_issue(), first_bad, valid_issue(), second_bad,
                                           "not an issue"})}};
  try {
    record::from_json<PRAnalysisResultSchema>(input);
    FAIL() << "a review with invalid issues was read";
  } catch (const ValidationError& error) {
    std::vector<std::string> paths;
    for (const auto& field_error : error.errors()) paths.push_back(field_error.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"issues[1].severity", "issues[3].line_end",
                                               "issues[3].title", "issues[4]"}));
  }
}

TEST(PRAnalysisResult, KeepsAnyApprovalRecommendationUnchanged) {
  for (const char* text : {"APPROVE", "MAYBE", "approve", "", "Demande de changements ✓"}) {
    const auto result = record::from_json<PRAnalysisResultSchema>(
        Json{{"summary", "s"}, {"approval_recommendation", text}});
    EXPECT_EQ(result.approval_recommendation, text);
  }
}

TEST(PRAnalysisResult, EachRecordHoldsItsOwnDefaultLists) {
  auto first = record::from_json<PRAnalysisResultSchema>(Json{{"summary", "a"}});
  const auto second = record::from_json<PRAnalysisResultSchema>(Json{{"summary", "b"}});
  first.issues.push_back(record::from_json<PRIssueSchema>(valid_issue()));
  first.positive_points.push_back("clair");
  first.general_suggestions.push_back("tester");
  EXPECT_TRUE(second.issues.empty());
  EXPECT_TRUE(second.positive_points.empty());
  EXPECT_TRUE(second.general_suggestions.empty());

  PRAnalysisResultSchema built{.summary = "c"};
  built.positive_points.push_back("x");
  EXPECT_TRUE(PRAnalysisResultSchema{}.positive_points.empty());
}

TEST(PRAnalysisResult, WritesJsonThatReadsBackEqual) {
  PRAnalysisResultSchema result{
      .issues = {record::from_json<PRIssueSchema>(valid_issue()),
                 PRIssueSchema{.file_path = "b.py",
                               .issue_type = PRIssueTypeEnum::BEST_PRACTICE,
                               .severity = PRIssueSeverityEnum::INFO,
                               .title = "t",
                               .description = "d",
                               .suggestion = "s"}},
      .summary = "Résumé",
      .risk_score = 7.25,
      .approval_recommendation = "REQUEST_CHANGES",
      .positive_points = {"lisible"},
      .general_suggestions = {"ajouter des tests", "documenter"},
  };
  const Json written = record::to_json(result);
  const Json& second_issue = written["issues"][1];
  EXPECT_EQ(second_issue["issue_type"], "best_practice");
  EXPECT_EQ(second_issue["severity"], "info");
  EXPECT_TRUE(second_issue["line_number"].is_null());
  EXPECT_TRUE(second_issue["code_snippet"].is_null());
  EXPECT_EQ(record::from_json<PRAnalysisResultSchema>(Json::parse(written.dump())), result);
}

TEST(PRAnalysisResult, ValidatesARecordBuiltInCode) {
  PRAnalysisResultSchema result{.summary = "s", .risk_score = 10.0};
  EXPECT_NO_THROW(record::validate(result));
  result.risk_score = 10.5;
  EXPECT_THROW(record::validate(result), ValidationError);
}

TEST(PRAnalysisResult, JsonHooksUseValueTextsAndValidation) {
  EXPECT_EQ(Json(PRIssueSeverityEnum::CRITICAL), "critical");
  EXPECT_EQ(Json(PRIssueTypeEnum::BEST_PRACTICE).dump(), "\"best_practice\"");
  EXPECT_EQ(Json("best_practice").get<PRIssueTypeEnum>(), PRIssueTypeEnum::BEST_PRACTICE);
  EXPECT_THROW(Json("BEST_PRACTICE").get<PRIssueTypeEnum>(), std::invalid_argument);
  EXPECT_TRUE(PRIssueTypeEnum::BEST_PRACTICE == "best_practice");

  const PRAnalysisResultSchema result{.summary = "s"};
  const Json written = result;
  EXPECT_EQ(written, record::to_json(result));
  EXPECT_EQ(written.get<PRAnalysisResultSchema>(), result);
  EXPECT_THROW((Json{{"risk_score", 1}}.get<PRAnalysisResultSchema>()), ValidationError);
}

TEST(PRAnalysisResult, SchemaMatchesTheGoldenFile) {
  const auto path = golden_path("pr_analysis_result_schema.json");
  ASSERT_TRUE(std::filesystem::exists(path))
      << path << " not found: run through ctest, or set ORVANE_SOURCE_DIR to the source tree";
  const std::string golden = text::read_file_bytes(path);
  EXPECT_EQ(record::json_schema<PRAnalysisResultSchema>().dump(2) + "\n", golden);
}

}  // namespace
}  // namespace orvane

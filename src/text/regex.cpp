#include "text/regex.hpp"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <array>

namespace orvane::text {
namespace {

std::string pcre2_message(int code) {
  std::array<PCRE2_UCHAR, 256> buffer{};
  const int length = pcre2_get_error_message(code, buffer.data(), buffer.size());
  if (length < 0) return "regular expression error " + std::to_string(code);
  return std::string(reinterpret_cast<const char*>(buffer.data()),
                     static_cast<std::size_t>(length));
}

struct MatchDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct MatchContextDeleter {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};

uint32_t pcre2_flags(MatchFlags flags) {
  uint32_t match_flags = 0;
  if (flags.not_empty_at_start) match_flags |= PCRE2_NOTEMPTY_ATSTART;
  if (flags.anchored) match_flags |= PCRE2_ANCHORED;
  if (flags.subject_is_valid_utf8) match_flags |= PCRE2_NO_UTF_CHECK;
  return match_flags;
}

}  // namespace

struct Regex::Code {
  pcre2_code* compiled = nullptr;
  bool jit = false;
};

void Regex::CodeDeleter::operator()(Code* code) const {
  pcre2_code_free(code->compiled);
  delete code;
}

std::string_view RegexMatch::group(std::string_view subject, std::size_t index) const {
  if (index >= groups.size() || !groups[index]) return {};
  return subject.substr(groups[index]->begin, groups[index]->end - groups[index]->begin);
}

Regex::Regex(std::string_view pattern, RegexOptions options) : code_(new Code), options_(options) {
  uint32_t flags = PCRE2_UTF;
  if (options.unicode_properties) flags |= PCRE2_UCP;
  if (options.dot_all) flags |= PCRE2_DOTALL;
  if (options.case_insensitive) flags |= PCRE2_CASELESS;
  if (options.multi_line) flags |= PCRE2_MULTILINE;
  int error = 0;
  PCRE2_SIZE offset = 0;
  code_->compiled = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                  flags, &error, &offset, nullptr);
  if (code_->compiled == nullptr) {
    throw RegexError(pcre2_message(error) + " at position " + std::to_string(offset));
  }
  code_->jit = pcre2_jit_compile(code_->compiled, PCRE2_JIT_COMPLETE) == 0;
  uint32_t captures = 0;
  pcre2_pattern_info(code_->compiled, PCRE2_INFO_CAPTURECOUNT, &captures);
  group_count_ = captures;
}

std::optional<RegexMatch> Regex::find(std::string_view subject, std::size_t start,
                                      MatchFlags flags) const {
  const std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
      pcre2_match_data_create_from_pattern(code_->compiled, nullptr));
  const std::unique_ptr<pcre2_match_context, MatchContextDeleter> context(
      pcre2_match_context_create(nullptr));
  if (!data || !context) throw std::bad_alloc();
  pcre2_set_match_limit(context.get(), options_.match_limit);
  pcre2_set_depth_limit(context.get(), options_.depth_limit);

  const int rc = pcre2_match(code_->compiled, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                             subject.size(), start, pcre2_flags(flags), data.get(), context.get());
  if (rc == PCRE2_ERROR_NOMATCH) return std::nullopt;
  if (rc < 0) throw RegexLimitError(pcre2_message(rc));

  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
  RegexMatch match;
  match.groups.resize(group_count_ + 1);
  for (std::size_t i = 0; i <= group_count_; ++i) {
    if (ovector[2 * i] == PCRE2_UNSET) continue;
    match.groups[i] = RegexMatch::Span{ovector[2 * i], ovector[2 * i + 1]};
  }
  return match;
}

struct RegexScratch::Data {
  std::unique_ptr<pcre2_match_data, MatchDataDeleter> match_data;
  std::unique_ptr<pcre2_match_context, MatchContextDeleter> context;
};

void RegexScratch::DataDeleter::operator()(Data* data) const {
  delete data;
}

RegexScratch::RegexScratch(const Regex& regex) : data_(new Data) {
  data_->match_data.reset(pcre2_match_data_create_from_pattern(regex.code_->compiled, nullptr));
  data_->context.reset(pcre2_match_context_create(nullptr));
  if (!data_->match_data || !data_->context) throw std::bad_alloc();
  pcre2_set_match_limit(data_->context.get(), regex.options_.match_limit);
  pcre2_set_depth_limit(data_->context.get(), regex.options_.depth_limit);
}

std::optional<RegexMatch::Span> Regex::find_span(std::string_view subject, std::size_t start,
                                                 MatchFlags flags, RegexScratch& scratch) const {
  const int rc = pcre2_match(code_->compiled, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                             subject.size(), start, pcre2_flags(flags),
                             scratch.data_->match_data.get(), scratch.data_->context.get());
  if (rc == PCRE2_ERROR_NOMATCH) return std::nullopt;
  if (rc < 0) throw RegexLimitError(pcre2_message(rc));
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(scratch.data_->match_data.get());
  return RegexMatch::Span{ovector[0], ovector[1]};
}

}  // namespace orvane::text

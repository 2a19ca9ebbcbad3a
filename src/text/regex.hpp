#pragma once
// Regular expressions over UTF-8 text (PCRE2, UTF always on, Unicode properties on unless
// turned off, JIT when the platform has it).
//
// A Regex is immutable once compiled and may be shared between threads; every match allocates
// its own scratch data. Every match runs under a match limit and a depth limit, so that no
// pattern (for example `(a+)+$` against a long run of "a") can hang a caller: hitting a limit
// throws RegexLimitError.

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::text {

// A pattern that does not compile; what() is PCRE2's message with the offset.
class RegexError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A match that gave up on a resource limit (or another matching error).
class RegexLimitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RegexOptions {
  bool dot_all = false;
  bool case_insensitive = false;
  bool multi_line = false;
  // Unicode properties for \w, \d, \s, \b and the POSIX classes. Turning them off changes
  // nothing on an ASCII-only subject, where it lets the matcher scan much faster.
  bool unicode_properties = true;
  // Limits on the work of one match attempt (PCRE2's match and depth limits).
  unsigned match_limit = 10'000'000;
  unsigned depth_limit = 100'000;
};

// One match: byte offsets into the subject. Group 0 is the whole match; a group that did not
// take part has no value.
struct RegexMatch {
  struct Span {
    std::size_t begin;
    std::size_t end;
  };
  std::vector<std::optional<Span>> groups;

  std::size_t begin() const { return groups[0]->begin; }
  std::size_t end() const { return groups[0]->end; }
  // The text of group `index` in `subject`, or an empty view when it did not take part.
  std::string_view group(std::string_view subject, std::size_t index) const;
};

struct MatchFlags {
  // Refuse an empty match at the start offset (used to step past an empty match).
  bool not_empty_at_start = false;
  // Match only at the start offset.
  bool anchored = false;
  // The caller guarantees that the subject is well-formed UTF-8 (for example, it already passed
  // a match or `is_valid_utf8`), so the per-call validation of the remaining subject is skipped.
  bool subject_is_valid_utf8 = false;
};

class Regex;

// Match data reused across calls of `Regex::find_span` on one Regex, so that a loop over the
// matches of a long subject allocates once. Owned by one caller; not shareable between threads.
class RegexScratch {
 public:
  explicit RegexScratch(const Regex& regex);

 private:
  friend class Regex;
  struct Data;
  struct DataDeleter {
    void operator()(Data* data) const;
  };
  std::unique_ptr<Data, DataDeleter> data_;
};

class Regex {
 public:
  // Throws RegexError when `pattern` does not compile.
  explicit Regex(std::string_view pattern, RegexOptions options = {});

  // The first match starting at or after byte `start` of `subject` (well-formed UTF-8; `start`
  // on a character boundary), or no value. Throws RegexLimitError when a limit is hit.
  std::optional<RegexMatch> find(std::string_view subject, std::size_t start = 0,
                                 MatchFlags flags = {}) const;

  // Like `find`, but only the span of the whole match, computed in `scratch` (REQUIRES: made
  // for this Regex). Throws RegexLimitError when a limit is hit.
  std::optional<RegexMatch::Span> find_span(std::string_view subject, std::size_t start,
                                            MatchFlags flags, RegexScratch& scratch) const;

  std::size_t group_count() const { return group_count_; }

 private:
  friend class RegexScratch;
  struct Code;
  struct CodeDeleter {
    void operator()(Code* code) const;
  };
  std::unique_ptr<Code, CodeDeleter> code_;
  std::size_t group_count_ = 0;
  RegexOptions options_;
};

}  // namespace orvane::text

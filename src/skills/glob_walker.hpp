#pragma once
// A glob walk over a directory tree, one path at a time.
//
// Patterns are relative, split at "/" (empty and "." segments dropped; a trailing "/" keeps
// directories only). "**" is the directory itself and every directory below it, depth first,
// each directory before its subdirectories, without entering symbolic links to directories.
// A segment with "*", "?" or "[" is matched against whole entry names ("*" any run, "?" one
// character, "[...]" and "[!...]" sets with ranges), case-sensitive, dot files included, no
// backslash escapes. Any other segment, ".." included, names one entry. Entries come in the
// order the directory lists them; a path that several routes reach comes once; a directory
// that cannot be listed for lack of permission contributes nothing.
//
// The walk is pushed to a visitor, which may stop it: nothing past that point is listed or
// looked at. Directories are opened relative to their parent without following links; a
// symbolic link to a directory, and a ".." segment, are opened through the SandboxValidator
// given, so a walk never lists a directory outside its roots. Runs on the caller's thread.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "skills/sandbox_validator.hpp"

namespace orvane::glob {

// A parsed pattern. The constructor throws std::invalid_argument for an empty pattern, an
// absolute one, one with no segment left, and a segment that mixes "**" with other characters.
class GlobPattern {
 public:
  explicit GlobPattern(std::string_view pattern);

  struct CharRange {
    char32_t first;
    char32_t last;
  };
  struct Token {
    enum class Kind { literal, any_char, star, set } kind;
    char32_t code_point = 0;        // literal
    bool negated = false;           // set
    std::vector<CharRange> ranges;  // set
  };
  struct Segment {
    // `end` follows the last segment of a pattern written with a trailing "/": it yields the
    // directory reached, so that only directories come out.
    enum class Kind { recursive, wildcard, literal, end } kind;
    std::string text;
    std::vector<Token> tokens;  // wildcard
  };

  const std::vector<Segment>& segments() const { return segments_; }
  // More than one "**": paths must be de-duplicated.
  bool may_repeat() const { return may_repeat_; }

 private:
  std::vector<Segment> segments_;
  bool may_repeat_ = false;
};

// Whether `name` (bytes; ill-formed UTF-8 counts one character per byte) matches `tokens`.
bool wildcard_matches(const std::vector<GlobPattern::Token>& tokens, std::string_view name);

struct GlobEntry {
  std::string_view path;  // the start directory's normalised text joined with the segments
  int directory = -1;     // descriptor of the directory holding the entry, -1 for a directory
                          // yielded by a final "**"
  std::string_view name;  // the entry's name in `directory`
  bool is_regular_file = false;  // by its target when it is a symbolic link
  // Reached from the start directory through real directories, and links or ".." opened
  // beneath the validator's roots; false for a symbolic link to a file.
  bool confined = false;
};

// Return false to stop the walk. Views in the entry live until the visitor returns.
using GlobVisitor = std::function<bool(const GlobEntry&)>;

// Walks `pattern` under `directory`. Yields nothing when `directory` is not a directory.
// Throws PathDenied when the start directory leaves the validator's roots, std::system_error
// for a file-system error other than a missing entry or a lack of permission.
void walk_glob(const SandboxValidator& opener, std::string_view directory,
               const GlobPattern& pattern, const GlobVisitor& visit);

}  // namespace orvane::glob

#pragma once
// The three file skills given to agents: read a file (or a range of its lines), write or
// append a file, search files by glob pattern and content.
//
// Each `execute_now` validates its arguments, asks the sandbox about the path it names, then
// works through the sandbox (opens, creates and lists beneath its roots), so that a path
// swapped for a symbolic link after the check still cannot lead outside. Outcomes are
// SkillResults with English texts; only the failures named in each header comment reach the
// caller as exceptions. No state is kept between calls and no thread is started.

#include "skills/base_skill.hpp"

namespace orvane {

// Skill to read file contents.
// Throws std::invalid_argument when `path` is not a text, and std::system_error when the
// existence or kind test of the path fails for a reason other than a missing entry.
class ReadFileSkill : public Skill {
 public:
  explicit ReadFileSkill(SkillFields fields = {});
  SkillResult execute_now(const Json& arguments) const override;
};

// Skill to write file contents. An overwrite writes a temporary file in the target's directory
// and renames it over the target (its permission bits kept), so a failure leaves the old
// content whole; an append writes in place. Throws std::invalid_argument when `path` is not a
// text.
class WriteFileSkill : public Skill {
 public:
  explicit WriteFileSkill(SkillFields fields = {});
  SkillResult execute_now(const Json& arguments) const override;
};

// Skill to search for files. Throws std::invalid_argument when `directory` is not a text, and
// std::system_error when its existence test fails for a reason other than a missing entry.
class SearchFilesSkill : public Skill {
 public:
  explicit SearchFilesSkill(SkillFields fields = {});
  SkillResult execute_now(const Json& arguments) const override;
};

}  // namespace orvane

#pragma once
// Pieces shared by the file skills: result builders, argument reading, existence tests and the
// mapping of failures to outcomes. Internal to src/skills.

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "skills/base_skill.hpp"

namespace orvane::skill_support {

SkillResult failure(SkillResultStatus status, std::string error);

// The text value of argument `key`; throws std::invalid_argument naming it when the value is
// not a text (a path that cannot be made into a path reaches the caller).
std::string text_argument(const Json& arguments, const std::string& key);

// The value of `key`, or `fallback` when the key is absent.
Json argument_or(const Json& arguments, const std::string& key, Json fallback);

// The status of the entry at `path_text` by its target, or no value when nothing exists there
// (a dangling link, a missing parent, a text with a NUL). Throws std::system_error for any
// other failure of the test, such as a permission error on a parent.
std::optional<struct stat> stat_target(const std::string& path_text);

bool is_permission_error(const std::error_code& code);

// The outcome of the file operation whose failure is being handled: DENIED with the refusal's
// text for a sandbox refusal, DENIED "Permission denied: <path>" for a permission error, and
// ERROR `error_prefix` followed by the plain message otherwise. REQUIRES: called inside a catch
// block of a std::exception.
SkillResult failure_of_current_exception(std::string_view error_prefix,
                                         const std::string& path_text);

// The validator the skill's file operations go through: the skill's own, or, when a caller
// removed it, one rooted at "/" held in `storage`.
const SandboxValidator& access_for(const std::shared_ptr<SandboxValidator>& sandbox,
                                   std::optional<SandboxValidator>& storage);

// The kind name of a dynamic value, for messages.
std::string kind_name(const Json& value);

}  // namespace orvane::skill_support

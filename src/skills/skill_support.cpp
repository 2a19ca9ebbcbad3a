#include "skills/skill_support.hpp"

#include <cerrno>
#include <stdexcept>

#include "skills/sandbox_validator.hpp"

namespace orvane::skill_support {

SkillResult failure(SkillResultStatus status, std::string error) {
  SkillResult result;
  result.status = status;
  result.error = std::move(error);
  return result;
}

std::string text_argument(const Json& arguments, const std::string& key) {
  const Json& value = arguments.at(key);
  if (!value.is_string()) {
    throw std::invalid_argument(key + ": expected a string, got " + kind_name(value));
  }
  return value.get<std::string>();
}

Json argument_or(const Json& arguments, const std::string& key, Json fallback) {
  const auto found = arguments.find(key);
  return found == arguments.end() ? std::move(fallback) : *found;
}

std::optional<struct stat> stat_target(const std::string& path_text) {
  if (path_text.find('\0') != std::string::npos) return std::nullopt;
  // An empty text names the working directory, as "." does.
  const char* const name = path_text.empty() ? "." : path_text.c_str();
  struct stat info {};
  if (::stat(name, &info) == 0) return info;
  if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP || errno == EBADF) return std::nullopt;
  throw std::system_error(errno, std::generic_category(), path_text);
}

bool is_permission_error(const std::error_code& code) {
  return code == std::errc::permission_denied || code == std::errc::operation_not_permitted;
}

SkillResult failure_of_current_exception(std::string_view error_prefix,
                                         const std::string& path_text) {
  try {
    throw;
  } catch (const PathDenied& refusal) {
    return failure(SkillResultStatus::DENIED, refusal.what());
  } catch (const std::system_error& error) {
    if (is_permission_error(error.code())) {
      return failure(SkillResultStatus::DENIED, "Permission denied: " + path_text);
    }
    return failure(SkillResultStatus::ERROR, std::string(error_prefix) + error.code().message());
  } catch (const std::exception& error) {
    return failure(SkillResultStatus::ERROR, std::string(error_prefix) + error.what());
  }
}

const SandboxValidator& access_for(const std::shared_ptr<SandboxValidator>& sandbox,
                                   std::optional<SandboxValidator>& storage) {
  if (sandbox) return *sandbox;
  return storage.emplace(SandboxValidator::unrestricted());
}

std::string kind_name(const Json& value) {
  return value.type_name();
}

}  // namespace orvane::skill_support

#include "skills/base_skill.hpp"

namespace orvane {

Skill::Skill(Defaults defaults, SkillFields fields)
    : name(fields.name ? std::move(*fields.name) : std::move(defaults.name)),
      description(fields.description ? std::move(*fields.description)
                                     : std::move(defaults.description)),
      parameters(fields.parameters ? std::move(*fields.parameters)
                                   : std::move(defaults.parameters)),
      requires_confirmation(fields.requires_confirmation.value_or(defaults.requires_confirmation)),
      sandbox(std::move(fields.sandbox)) {
  if (!sandbox) sandbox = std::make_shared<SandboxValidator>();
}

std::string Skill::validate_arguments(const Json& arguments) const {
  if (!arguments.is_object()) return "Arguments must be an object";
  for (const auto& parameter : parameters) {
    if (parameter.required && !arguments.contains(parameter.name)) {
      return "Missing required parameter: " + parameter.name;
    }
  }
  return {};
}

boost::asio::awaitable<SkillResult> Skill::execute(Json arguments) const {
  co_return execute_now(arguments);
}

}  // namespace orvane

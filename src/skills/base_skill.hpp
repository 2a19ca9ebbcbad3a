#pragma once
// The skill framework: what a skill declares to the model and how it reports an outcome.
//
// A Skill is a record (name, description, parameter descriptors, whether the host must confirm
// a run, and the sandbox its file operations go through) with one asynchronous operation,
// `execute`, which never suspends: its body runs to completion on the caller's thread and its
// file operations block. Skills keep no per-call state and start no threads.

#include <boost/asio/awaitable.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "models/json_values.hpp"
#include "skills/sandbox_validator.hpp"

namespace orvane {

// One argument a skill accepts, as presented to the model.
struct SkillParameter {
  std::string name = {};
  std::string description = {};
  std::string param_type = "string";
  bool required = true;
  std::optional<Json> default_value = {};
  std::optional<std::vector<Json>> enum_values = {};
};

enum class SkillResultStatus { SUCCESS, ERROR, DENIED };

// The outcome of one run: `error` for ERROR and DENIED, `output` and `data` for SUCCESS.
struct SkillResult {
  SkillResultStatus status = SkillResultStatus::SUCCESS;
  std::string output;
  Json data = Json::object();
  std::string error;
};

// Fields a skill constructor may be given, any subset by name; the ones left out take the
// skill's defaults.
struct SkillFields {
  std::optional<std::string> name = {};
  std::optional<std::string> description = {};
  std::optional<std::vector<SkillParameter>> parameters = {};
  std::optional<bool> requires_confirmation = {};
  std::shared_ptr<SandboxValidator> sandbox = {};
};

class Skill {
 public:
  virtual ~Skill() = default;

  std::string name;
  std::string description;
  std::vector<SkillParameter> parameters;
  bool requires_confirmation = false;
  // Consulted by `execute` when present.
  std::shared_ptr<SandboxValidator> sandbox;

  // An empty text when `arguments` is acceptable; otherwise an English message: the map is not
  // an object, or it lacks a parameter whose descriptor is required (named in the message).
  // Kinds are not checked here: each skill reports its own outcome for a value of a wrong kind.
  std::string validate_arguments(const Json& arguments) const;

  // Runs the skill on `arguments`; never suspends. The skill must outlive the awaited call.
  boost::asio::awaitable<SkillResult> execute(Json arguments) const;

  // The body of `execute`, for callers without an event loop. Throws only what the skill lets
  // through to its caller (for example a path argument that is not a text).
  virtual SkillResult execute_now(const Json& arguments) const = 0;

 protected:
  struct Defaults {
    std::string name;
    std::string description;
    std::vector<SkillParameter> parameters;
    bool requires_confirmation;
  };
  // Takes each field from `fields` when given, from `defaults` otherwise; then creates a
  // default SandboxValidator when none was given.
  Skill(Defaults defaults, SkillFields fields);
  Skill(const Skill&) = default;
  Skill& operator=(const Skill&) = default;
};

}  // namespace orvane

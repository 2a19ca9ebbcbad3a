#include "host/providers/gemini_request.hpp"

#include <algorithm>
#include <stdexcept>

namespace orvane::gemini {

std::string validated_model_name(std::string_view model) {
  if (model.starts_with("models/")) model.remove_prefix(7);
  const bool valid = !model.empty() && std::all_of(model.begin(), model.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
  });
  if (!valid)
    throw std::invalid_argument("model: \"" + std::string(model) +
                                "\" is not a Gemini model id (letters, digits, '.', '-', '_')");
  return std::string(model);
}

std::string generate_content_target(std::string_view path_prefix, std::string_view model) {
  return std::string(path_prefix) + "/v1beta/models/" + std::string(model) + ":generateContent";
}

Json build_request_body(CallKind kind, std::string_view prompt, const Json& schema) {
  Json body = Json::object();
  body["contents"] = Json::array(
      {Json{{"role", "user"}, {"parts", Json::array({Json{{"text", std::string(prompt)}}})}}});
  switch (kind) {
    case CallKind::plain:
      break;
    case CallKind::thinking:
      // The level or budget is left to the model: their names differ between model families.
      body["generationConfig"] = Json{{"thinkingConfig", Json{{"includeThoughts", true}}}};
      break;
    case CallKind::structured:
      body["generationConfig"] =
          Json{{"responseMimeType", "application/json"}, {"responseJsonSchema", schema}};
      break;
    case CallKind::code_execution:
      body["tools"] = Json::array({Json{{"codeExecution", Json::object()}}});
      break;
  }
  return body;
}

}  // namespace orvane::gemini

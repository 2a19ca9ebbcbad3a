#pragma once
// The bodies and paths of generateContent requests, one per kind of model call. Pure.

#include <string>
#include <string_view>

#include "models/json_values.hpp"

namespace orvane::gemini {

enum class CallKind { plain, thinking, structured, code_execution };

// The model id for the path: "gemini-x" or "models/gemini-x" give "gemini-x". Throws
// std::invalid_argument naming `model` when empty or when it holds anything but letters, digits,
// '.', '-' and '_' (it becomes part of the request path).
std::string validated_model_name(std::string_view model);

// "<prefix>/v1beta/models/<model>:generateContent". REQUIRES: a validated model name.
std::string generate_content_target(std::string_view path_prefix, std::string_view model);

// The JSON body: the prompt as one user turn, plus per kind thinkingConfig with
// includeThoughts, responseMimeType application/json with `schema` as responseJsonSchema, or the
// codeExecution tool. `schema` is read only for CallKind::structured.
Json build_request_body(CallKind kind, std::string_view prompt, const Json& schema = Json());

}  // namespace orvane::gemini

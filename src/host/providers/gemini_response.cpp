#include "host/providers/gemini_response.hpp"

#include <charconv>
#include <cmath>

#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace orvane::gemini {
namespace {

std::string string_field(const Json& object, std::string_view key) {
  if (!object.is_object()) return {};
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return {};
  return found->get<std::string>();
}

void append_block(std::string& into, std::string_view block) {
  if (!into.empty() && !into.ends_with('\n')) into += '\n';
  into += block;
}

std::string_view ascii_trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

Json parse_json_or_discard(std::string_view body) {
  return Json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false);
}

}  // namespace

std::string excerpt(std::string_view bytes, std::size_t limit) {
  const auto repaired = text::repair_utf8(bytes, text::InvalidUtf8::replace);
  const auto trimmed = text::trim(repaired);
  std::string cut(text::first_code_points(trimmed, limit));
  if (cut.size() < trimmed.size()) cut += "…";
  return cut;
}

ModelAnswer parse_answer(std::string_view body) {
  const auto json = parse_json_or_discard(body);
  if (!json.is_object())
    throw AnswerError("La réponse de Gemini n'est pas du JSON valide : " +
                      (body.empty() ? std::string("corps vide") : "« " + excerpt(body) + " »"));
  const auto feedback = json.find("promptFeedback");
  const auto block_reason =
      feedback != json.end() ? string_field(*feedback, "blockReason") : std::string();
  const auto candidates = json.find("candidates");
  const bool no_candidate =
      candidates == json.end() || !candidates->is_array() || candidates->empty();
  if (!block_reason.empty() && no_candidate)
    throw AnswerError("Gemini a bloqué la demande (blockReason : " + block_reason + ")");
  if (no_candidate) throw AnswerError("La réponse de Gemini ne contient aucune réponse candidate");

  const auto& candidate = candidates->front();
  ModelAnswer answer;
  answer.finish_reason = string_field(candidate, "finishReason");
  const Json* parts = nullptr;
  if (candidate.is_object()) {
    const auto content = candidate.find("content");
    if (content != candidate.end() && content->is_object()) {
      const auto found = content->find("parts");
      if (found != content->end() && found->is_array()) parts = &*found;
    }
  }
  if (parts == nullptr) return answer;
  for (const auto& part : *parts) {
    if (!part.is_object()) continue;
    if (const auto text = part.find("text"); text != part.end() && text->is_string()) {
      const auto thought = part.find("thought");
      const bool is_thought = thought != part.end() && is_truthy(*thought);
      (is_thought ? answer.thoughts : answer.text) += text->get<std::string>();
    } else if (const auto code = part.find("executableCode"); code != part.end()) {
      answer.ran_code = true;
      append_block(answer.code, string_field(*code, "code"));
    } else if (const auto result = part.find("codeExecutionResult"); result != part.end()) {
      answer.ran_code = true;
      const auto output = string_field(*result, "output");
      append_block(answer.code_output, output);
      const auto outcome = string_field(*result, "outcome");
      if (outcome != "OUTCOME_OK") {
        std::string error = "Le code exécuté par Gemini a échoué (" +
                            (outcome.empty() ? std::string("OUTCOME_UNSPECIFIED") : outcome) + ")";
        if (!text::is_blank(output)) error += " : " + std::string(text::trim(output));
        append_block(answer.code_error, error);
      }
    }
  }
  return answer;
}

void require_usable(const ModelAnswer& answer, CallKind kind) {
  const auto reason =
      answer.finish_reason.empty() ? std::string("non précisé") : answer.finish_reason;
  if (kind == CallKind::structured && answer.finish_reason == "MAX_TOKENS")
    throw AnswerError(
        "La réponse structurée de Gemini a été coupée avant la fin (finishReason : MAX_TOKENS)");
  const bool has_text = !answer.text.empty();
  const bool enough = has_text || (kind == CallKind::code_execution && answer.ran_code);
  if (!enough) throw AnswerError("Gemini n'a renvoyé aucun texte (finishReason : " + reason + ")");
}

Json parse_structured_text(std::string_view text) {
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& error) {
    throw AnswerError("La réponse structurée de Gemini n'est pas du JSON valide (" +
                      std::string(error.what()) + ") : « " + excerpt(text) + " »");
  }
}

Json code_execution_map(const ModelAnswer& answer) {
  Json map = Json::object();
  map["text"] = answer.text;
  map["executable_code"] = answer.code;
  map["code_output"] = answer.code_output;
  if (!answer.code_error.empty()) map["error"] = answer.code_error;
  return map;
}

std::optional<std::chrono::milliseconds> parse_duration(std::string_view text) {
  text = ascii_trim(text);
  if (!text.ends_with('s')) return std::nullopt;
  text.remove_suffix(1);
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      !std::isfinite(seconds) || seconds < 0)
    return std::nullopt;
  return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(seconds * 1000.0)));
}

ApiError parse_api_error(unsigned http_status, std::string_view reason, std::string_view body,
                         std::string_view retry_after_header) {
  ApiError api_error;
  api_error.http_status = http_status;
  std::string detail;
  const auto json = parse_json_or_discard(body);
  const auto error = json.is_object() ? json.find("error") : json.end();
  if (json.is_object() && error != json.end() && error->is_object()) {
    api_error.status = string_field(*error, "status");
    detail = string_field(*error, "message");
    const auto details = error->find("details");
    if (details != error->end() && details->is_array()) {
      for (const auto& item : *details) {
        const auto type = string_field(item, "@type");
        if (type.ends_with("google.rpc.RetryInfo")) {
          api_error.retry_delay = parse_duration(string_field(item, "retryDelay"));
        } else if (type.ends_with("google.rpc.QuotaFailure")) {
          const auto violations = item.find("violations");
          if (violations == item.end() || !violations->is_array()) continue;
          for (const auto& violation : *violations) {
            if (text::to_lower(string_field(violation, "quotaId")).find("perday") !=
                std::string::npos)
              api_error.per_day_quota = true;
          }
        }
      }
    }
  } else if (!text::is_blank(body)) {
    detail = excerpt(body);
  }
  if (!api_error.retry_delay) {
    const auto header = ascii_trim(retry_after_header);
    unsigned seconds = 0;
    const auto [end, failure] =
        std::from_chars(header.data(), header.data() + header.size(), seconds);
    if (!header.empty() && failure == std::errc{} && end == header.data() + header.size())
      api_error.retry_delay = std::chrono::seconds(seconds);
  }
  auto& message = api_error.message;
  message.append("Gemini a répondu HTTP ").append(std::to_string(http_status));
  if (!api_error.status.empty()) {
    message.append(" ").append(api_error.status);
  } else if (!reason.empty()) {
    message.append(" ").append(reason);
  }
  if (!detail.empty()) message.append(" : ").append(detail);
  if (api_error.per_day_quota)
    api_error.message += " (quota journalier épuisé : réessayez demain ou changez de formule)";
  return api_error;
}

}  // namespace orvane::gemini

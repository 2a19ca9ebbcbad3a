#include "services/probe_writer.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <boost/uuid/uuid_io.hpp>
#include <cerrno>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/failure_guard.hpp"
#include "core/warnings.hpp"
#include "host/providers/provider_factory.hpp"
#include "services/exclusive_file.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

constexpr std::size_t kPromptSourceLimit = 10'000;

[[noreturn]] void throw_errno() {
  throw std::system_error(errno, std::generic_category());
}

void check_name_part(std::string_view part, const char* what) {
  if (part.find('/') != std::string_view::npos || part.find('\0') != std::string_view::npos) {
    throw std::invalid_argument(std::string(what) + " ne doit contenir ni « / » ni caractère nul");
  }
}

std::string analysis_code_prompt(std::string_view language, std::string_view analysis_focus,
                                 std::string_view original_code) {
  std::string prompt =
      "Tu es un expert en analyse de code. Génère du code d'analyse approfondie pour mieux "
      "comprendre et analyser le code suivant.\n\nLangage: ";
  prompt += language;
  prompt += "\nFocus d'analyse: ";
  prompt += analysis_focus;
  prompt += "\n\nCode source à analyser:\n```\n";
  prompt += text::first_code_points(original_code, kPromptSourceLimit);
  prompt +=
      "\n```\n\nGénère du code d'analyse qui:\n1. Explore la structure et les dépendances "
      "internes\n2. Identifie les patterns et anti-patterns\n3. Analyse les flux de données et "
      "de contrôle\n4. Détecte les problèmes potentiels de logique\n5. Vérifie la cohérence des "
      "types et interfaces\n\nIMPORTANT:\n- Génère UNIQUEMENT du code d'analyse, pas d'exemples "
      "d'utilisation\n- Pas de conseils de code à utiliser\n- Focus sur la compréhension et "
      "l'analyse, pas sur l'implémentation\n- Le code généré doit aider à mieux comprendre le "
      "code source, pas à le remplacer\n\nRetourne UNIQUEMENT le code d'analyse généré, sans "
      "explications supplémentaires.";
  return prompt;
}

// The answer trimmed; when it begins with a fence, without its first and last lines.
std::string strip_fences(std::string_view answer) {
  const std::string_view code = text::trim(answer);
  if (!code.starts_with("```")) return std::string(code);
  const std::size_t first_break = code.find('\n');
  const std::size_t last_break = code.rfind('\n');
  if (first_break == std::string_view::npos || first_break == last_break) return {};
  return std::string(code.substr(first_break + 1, last_break - first_break - 1));
}

boost::asio::awaitable<std::optional<std::string>> ask_for_code(
    std::shared_ptr<AIProvider> provider, std::string original_code, std::string language,
    std::string analysis_focus) {
  std::string prompt = analysis_code_prompt(language, analysis_focus, original_code);
  const std::string answer = co_await provider->generate_content_with_retry(std::move(prompt));
  co_return strip_fences(answer);
}

}  // namespace

ProbeWriter::ProbeWriter(AnalysisConfig config)
    : config(std::move(config)),
      temp_dir((std::filesystem::path(this->config.root_dir) / ".analysis_temp").string()) {
  std::filesystem::create_directories(temp_dir);
  ai_provider_ =
      create_ai_provider(this->config.ai_provider, this->config.ai_api_key, this->config.ai_model,
                         this->config.timeout_seconds, this->config.max_retries,
                         ProviderEndpoint{this->config.ai_base_url, this->config.ai_ca_file});
}

ProbeWriter::ProbeWriter(AnalysisConfig config, std::shared_ptr<AIProvider> ai_provider)
    : config(std::move(config)),
      temp_dir((std::filesystem::path(this->config.root_dir) / ".analysis_temp").string()) {
  if (!ai_provider) throw std::invalid_argument("ai_provider: a provider is required");
  std::filesystem::create_directories(temp_dir);
  ai_provider_ = std::move(ai_provider);
}

boost::asio::awaitable<std::optional<std::string>> ProbeWriter::generate_analysis_code(
    std::string original_code, std::string language, std::string analysis_focus) {
  co_return co_await absorb_failures(
      ask_for_code(ai_provider_, std::move(original_code), std::move(language),
                   std::move(analysis_focus)),
      [](const std::string& message) -> std::optional<std::string> {
        warnings::print("Erreur lors de la génération de code d'analyse: " + message);
        return std::nullopt;
      });
}

std::optional<std::string> ProbeWriter::save_temp_file(const std::string& content,
                                                       const std::string& extension,
                                                       const std::string& prefix) {
  try {
    check_name_part(prefix, "le préfixe");
    check_name_part(extension, "l'extension");
    const std::string digits = boost::uuids::to_string(uuid_generator_()).substr(0, 8);
    const std::string name = prefix + "_" + digits + "." + extension;
    std::string path = (std::filesystem::path(temp_dir) / name).string();
    exclusive_file::create(temp_dir, name, content);
    generated_files_.push_back(path);
    return path;
  } catch (const std::exception& error) {
    warnings::print(std::string("Erreur lors de la sauvegarde du fichier temporaire: ") +
                    error.what());
    return std::nullopt;
  }
}

void ProbeWriter::cleanup() {
  try {
    struct stat status {};
    if (::lstat(temp_dir.c_str(), &status) != 0) {
      // With the directory gone, so are the files it held.
      if (errno == ENOENT) return;
      throw_errno();
    }
    // By name inside the directory: a recorded file replaced by a link loses the link only,
    // and a directory replaced by a link is refused.
    for (const std::string& path : generated_files_) {
      exclusive_file::remove(temp_dir, std::filesystem::path(path).filename().string());
    }
    if (!S_ISDIR(status.st_mode)) return;
    if (::rmdir(temp_dir.c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST) throw_errno();
  } catch (const std::exception& error) {
    warnings::print(std::string("Erreur lors du nettoyage: ") + error.what());
  }
}

}  // namespace orvane

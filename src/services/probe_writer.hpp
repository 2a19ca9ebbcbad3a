#pragma once
// ProbeWriter: "Générateur de code pour les agents - permet de créer du code temporaire pour
// l'analyse".
//
// Asks the model for code that explores one source file, and keeps analysis code in temporary
// files under `temp_dir` (root_dir/.analysis_temp), which the constructor creates. Failures of
// the three operations are absorbed: one warning line on standard output and an absent result;
// a cancellation of generate_analysis_code reaches its caller. The constructor's failures (the
// directory, the provider) are thrown. Temporary files are only ever created anew inside
// `temp_dir` and never through a symbolic link; cleanup removes only entries of `temp_dir`.
// Not thread-safe: use one generator from one event loop (several generations may be in flight).

#include <boost/uuid/random_generator.hpp>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/config.hpp"
#include "host/providers/ai_provider.hpp"
#include "services/analysis_code_generator.hpp"

namespace orvane {

class ProbeWriter : public AnalysisCodeGenerator {
 public:
  // Creates `temp_dir` (and missing parents) and the provider with create_ai_provider from the
  // configured provider, key, model, time-out, retries (and endpoint).
  explicit ProbeWriter(AnalysisConfig config);
  // Same, with a provider of the caller's. REQUIRES: `ai_provider` is not null.
  ProbeWriter(AnalysisConfig config, std::shared_ptr<AIProvider> ai_provider);

  // "Génère du code d'analyse approfondie pour mieux comprendre le code source": the model's
  // answer, trimmed and without its outer fence lines when it begins with a fence; absent on
  // failure.
  boost::asio::awaitable<std::optional<std::string>> generate_analysis_code(
      std::string original_code, std::string language, std::string analysis_focus) override;

  // "Sauvegarde un fichier temporaire et retourne son chemin": writes `content` to a new file
  // `prefix`_<8 hex digits>.`extension` in `temp_dir` and records it; absent on failure (also
  // when `prefix` or `extension` holds "/" or a NUL, or the name already exists).
  std::optional<std::string> save_temp_file(const std::string& content,
                                            const std::string& extension,
                                            const std::string& prefix = "temp");

  // "Nettoie les fichiers temporaires générés": deletes the recorded files that still exist,
  // then `temp_dir` when it is empty. Stops at the first failure.
  void cleanup();

  const AnalysisConfig config;
  const std::string temp_dir;
  const std::vector<std::string>& generated_files() const { return generated_files_; }

 private:
  std::vector<std::string> generated_files_;
  std::shared_ptr<AIProvider> ai_provider_;
  boost::uuids::random_generator uuid_generator_;
};

}  // namespace orvane

#pragma once
// AnalysisConfig: the run configuration every component reads and none writes.
//
// A plain value; the command line fills it from flags, a configuration file and the
// environment. The core itself never reads the environment.

#include <string>

namespace orvane {

struct AnalysisConfig {
  // The project root: relative paths shown to the model are taken against it, and the
  // temporary analysis directory lives under it.
  std::string root_dir = ".";

  bool enable_code_generation = false;
  bool enable_structured_outputs = true;
  bool enable_thinking = false;

  // Passed unchanged to create_ai_provider.
  std::string ai_provider = "gemini";
  std::string ai_api_key;
  std::string ai_model = "gemini-3.5-flash";
  double timeout_seconds = 120.0;
  int max_retries = 3;

  // Where the provider sends its requests: empty for the provider's own endpoint. Plain http
  // is for loopback test servers only.
  std::string ai_base_url;
  // A PEM file of certificate authorities to trust instead of the system's store (tests).
  std::string ai_ca_file;
};

}  // namespace orvane

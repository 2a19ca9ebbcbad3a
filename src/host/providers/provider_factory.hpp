#pragma once
// create_ai_provider: makes the provider named in the configuration.
//
// Known names: "gemini" (GeminiProvider: Gemini's REST API; `endpoint` overrides its base URL
// and CA file) and "offline" (every call fails with an explanation; for runs without a model).
// Invalid settings throw std::invalid_argument naming the setting.
// An unknown name throws std::invalid_argument listing the known names. The caller owns the
// result. Nothing is contacted at construction.

#include <memory>
#include <string>
#include <string_view>

#include "host/providers/ai_provider.hpp"

namespace orvane {

// Settings beyond the five every provider takes; empty means the provider's own default.
struct ProviderEndpoint {
  std::string base_url;
  std::string ca_file;
};

std::unique_ptr<AIProvider> create_ai_provider(std::string_view provider, std::string api_key,
                                               std::string model, double timeout_seconds,
                                               int max_retries, ProviderEndpoint endpoint = {});

}  // namespace orvane

#include "host/providers/provider_factory.hpp"

#include <array>
#include <stdexcept>

#include "host/providers/gemini_provider.hpp"
#include "host/providers/offline_provider.hpp"

namespace orvane {
namespace {

constexpr std::array kKnownProviders = {std::string_view("gemini"), std::string_view("offline")};

std::string known_names() {
  std::string names;
  for (const auto name : kKnownProviders) {
    if (!names.empty()) names += ", ";
    names += name;
  }
  return names;
}

}  // namespace

std::unique_ptr<AIProvider> create_ai_provider(std::string_view provider, std::string api_key,
                                               std::string model, double timeout_seconds,
                                               int max_retries, ProviderEndpoint endpoint) {
  if (provider == "gemini") {
    GeminiSettings settings;
    settings.api_key = std::move(api_key);
    settings.model = std::move(model);
    settings.timeout_seconds = timeout_seconds;
    settings.retry.max_retries = max_retries;
    settings.base_url = std::move(endpoint.base_url);
    settings.ca_file = std::move(endpoint.ca_file);
    return std::make_unique<GeminiProvider>(std::move(settings));
  }
  if (provider == "offline") return std::make_unique<OfflineProvider>();
  throw std::invalid_argument("provider: unknown AI provider \"" + std::string(provider) +
                              "\" (known providers: " + known_names() + ")");
}

}  // namespace orvane

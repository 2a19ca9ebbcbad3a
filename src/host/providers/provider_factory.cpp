#include "host/providers/provider_factory.hpp"

#include <array>
#include <stdexcept>

#include "host/providers/offline_provider.hpp"

namespace orvane {
namespace {

constexpr std::array kKnownProviders = {std::string_view("offline")};

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
  (void)api_key;
  (void)model;
  (void)timeout_seconds;
  (void)max_retries;
  (void)endpoint;
  if (provider == "offline") return std::make_unique<OfflineProvider>();
  throw std::invalid_argument("provider: unknown AI provider \"" + std::string(provider) +
                              "\" (known providers: " + known_names() + ")");
}

}  // namespace orvane

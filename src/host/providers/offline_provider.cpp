#include "host/providers/offline_provider.hpp"

#include <stdexcept>

namespace orvane {
namespace {

[[noreturn]] void refuse() {
  throw std::runtime_error(
      "Aucun modèle n'est configuré (fournisseur \"offline\") : choisissez le fournisseur "
      "\"gemini\" et donnez une clé d'API");
}

}  // namespace

boost::asio::awaitable<std::string> OfflineProvider::generate_content_with_retry(std::string) {
  refuse();
  co_return std::string{};
}

boost::asio::awaitable<ThinkingAnswer> OfflineProvider::generate_with_thinking(std::string) {
  refuse();
  co_return ThinkingAnswer{};
}

boost::asio::awaitable<Json> OfflineProvider::generate_structured(std::string, Json) {
  refuse();
  co_return Json{};
}

boost::asio::awaitable<Json> OfflineProvider::generate_with_code_execution(std::string) {
  refuse();
  co_return Json{};
}

}  // namespace orvane

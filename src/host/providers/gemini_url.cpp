#include "host/providers/gemini_url.hpp"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace orvane::gemini {
namespace {

[[noreturn]] void reject(std::string_view url, std::string_view why) {
  throw std::invalid_argument("base_url: \"" + std::string(url) + "\" " + std::string(why));
}

bool is_ipv4_loopback(std::string_view host) {
  // Four decimal octets, the first one 127.
  int octets = 0;
  int first = -1;
  std::size_t position = 0;
  while (position <= host.size()) {
    const auto dot = std::min(host.find('.', position), host.size());
    const auto part = host.substr(position, dot - position);
    int value = -1;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || part.size() > 3 || error != std::errc{} ||
        end != part.data() + part.size() || value > 255)
      return false;
    if (octets == 0) first = value;
    ++octets;
    position = dot + 1;
  }
  return octets == 4 && first == 127;
}

bool valid_host_character(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

}  // namespace

bool is_loopback_host(std::string_view host) {
  return host == "localhost" || host == "::1" || is_ipv4_loopback(host);
}

std::string BaseUrl::host_header() const {
  std::string header = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  if (port != (tls ? "443" : "80")) header += ":" + port;
  return header;
}

BaseUrl parse_base_url(std::string_view url) {
  BaseUrl parsed;
  const auto scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) reject(url, "is not a URL (expected https://host)");
  const auto scheme = url.substr(0, scheme_end);
  if (scheme == "https") {
    parsed.tls = true;
  } else if (scheme == "http") {
    parsed.tls = false;
  } else {
    reject(url, "has an unsupported scheme (expected https)");
  }
  auto rest = url.substr(scheme_end + 3);
  if (rest.find_first_of("?#") != std::string_view::npos)
    reject(url, "must not have a query or a fragment");
  const auto path_start = std::min(rest.find('/'), rest.size());
  auto authority = rest.substr(0, path_start);
  auto path = rest.substr(path_start);
  if (authority.find('@') != std::string_view::npos) reject(url, "must not hold user information");

  std::string_view host;
  std::string_view port;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) reject(url, "has an unclosed IPv6 address");
    host = authority.substr(1, close - 1);
    const auto after = authority.substr(close + 1);
    if (!after.empty()) {
      if (!after.starts_with(':')) reject(url, "has text after the IPv6 address");
      port = after.substr(1);
    }
    if (host.empty() || !std::all_of(host.begin(), host.end(), [](char c) {
          return c == ':' || c == '.' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
                 (c >= 'A' && c <= 'F');
        }))
      reject(url, "has an invalid IPv6 address");
  } else {
    const auto colon = authority.find(':');
    host = authority.substr(0, colon);
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    if (host.empty() || !std::all_of(host.begin(), host.end(), valid_host_character))
      reject(url, "has no valid host name");
  }
  if (!port.empty() || authority.ends_with(':')) {
    int number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || error != std::errc{} || end != port.data() + port.size() || number < 1 ||
        number > 65535)
      reject(url, "has an invalid port");
  }
  parsed.host = std::string(host);
  parsed.port = port.empty() ? (parsed.tls ? "443" : "80") : std::string(port);
  while (path.ends_with('/')) path.remove_suffix(1);
  parsed.path_prefix = std::string(path);
  if (!parsed.tls && !is_loopback_host(parsed.host))
    reject(url, "uses plain http, which is allowed for loopback addresses only (use https)");
  return parsed;
}

}  // namespace orvane::gemini

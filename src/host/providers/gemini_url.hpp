#pragma once
// Where the Gemini provider sends its requests: the parsed base URL.
//
// parse_base_url accepts "https://host[:port][/prefix]" and, for loopback hosts only (localhost,
// 127.0.0.0/8, ::1), "http://". The prefix is the API root under which "/v1beta/..." lives, for a
// proxy. Throws std::invalid_argument naming `base_url` for anything else (user info, query,
// fragment, bad port, unknown scheme, plain http to a remote host). Pure.

#include <string>
#include <string_view>

namespace orvane::gemini {

inline constexpr std::string_view kDefaultBaseUrl = "https://generativelanguage.googleapis.com";

struct BaseUrl {
  bool tls = true;
  // Without the brackets of an IPv6 literal.
  std::string host;
  std::string port;
  // Empty, or starts with "/" and has no trailing "/".
  std::string path_prefix;

  // The value of the Host header: the host, bracketed when IPv6, with the port when it is not
  // the scheme's default.
  std::string host_header() const;
};

BaseUrl parse_base_url(std::string_view url);

bool is_loopback_host(std::string_view host);

}  // namespace orvane::gemini

#include "text/paths.hpp"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace orvane::text {
namespace {

std::string_view root_prefix(std::string_view path) {
  if (path.starts_with("//") && !path.starts_with("///")) return "//";
  if (path.starts_with('/')) return "/";
  return "";
}

template <typename Visit>
void for_each_segment(std::string_view path, Visit visit) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(start, end - start);
    if (!segment.empty() && segment != ".") visit(segment);
    start = end + 1;
  }
}

std::string join(std::string_view prefix, const std::vector<std::string_view>& segments) {
  if (prefix.empty() && segments.empty()) return std::string(1, '.');
  std::string out(prefix);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i != 0) out.push_back('/');
    out.append(segments[i]);
  }
  return out;
}

std::vector<std::string_view> absolute_segments(const std::string& absolute) {
  std::vector<std::string_view> segments;
  for_each_segment(absolute, [&](std::string_view segment) { segments.push_back(segment); });
  return segments;
}

}  // namespace

std::string normalize_path_text(std::string_view path) {
  std::vector<std::string_view> segments;
  for_each_segment(path, [&](std::string_view segment) { segments.push_back(segment); });
  return join(root_prefix(path), segments);
}

std::string absolute_path_text(std::string_view path) {
  std::string joined;
  if (path.starts_with('/')) {
    joined = path;
  } else {
    joined = std::filesystem::current_path().string();
    joined.push_back('/');
    joined.append(path);
  }
  const std::string_view prefix = root_prefix(joined);
  std::vector<std::string_view> segments;
  for_each_segment(joined, [&](std::string_view segment) {
    if (segment != "..") {
      segments.push_back(segment);
    } else if (!segments.empty()) {
      segments.pop_back();
    }
  });
  return join(prefix, segments);
}

std::string relative_path_text(std::string_view path, std::string_view root) {
  if (path.empty()) throw std::invalid_argument("path: no path specified");
  if (root.empty()) throw std::invalid_argument("root: no path specified");
  const std::string absolute_path = absolute_path_text(path);
  const std::string absolute_root = absolute_path_text(root);
  const auto path_segments = absolute_segments(absolute_path);
  const auto root_segments = absolute_segments(absolute_root);

  const auto [root_end, path_end] = std::mismatch(root_segments.begin(), root_segments.end(),
                                                  path_segments.begin(), path_segments.end());
  std::vector<std::string_view> relative(static_cast<std::size_t>(root_segments.end() - root_end),
                                         "..");
  relative.insert(relative.end(), path_end, path_segments.end());
  std::string out = join("", relative);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

}  // namespace orvane::text

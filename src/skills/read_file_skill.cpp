#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <variant>

#include "skills/disk_tools.hpp"
#include "skills/skill_support.hpp"
#include "text/paths.hpp"
#include "text/read_descriptor.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

using namespace skill_support;

// A line number as the range arithmetic sees it: an integer (booleans count as 0 and 1), or a
// floating-point value, which may be compared but not used as a position.
using LineNumber = std::variant<std::int64_t, double>;

LineNumber line_number(const Json& value, const char* name) {
  if (value.is_boolean()) return std::int64_t{value.get<bool>() ? 1 : 0};
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() >
            static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      throw std::invalid_argument(std::string(name) + " is out of range");
    }
    return value.get<std::int64_t>();
  }
  if (value.is_number_float()) return value.get<double>();
  throw std::invalid_argument(std::string(name) + " must be an integer, not " + kind_name(value));
}

std::int64_t position(const LineNumber& number, const char* name) {
  if (const auto* integer = std::get_if<std::int64_t>(&number)) return *integer;
  throw std::invalid_argument(std::string(name) + " must be an integer, not float");
}

// Clamps a slice bound the way end-relative list slicing does.
std::size_t slice_bound(std::int64_t bound, std::size_t size) {
  const auto count = static_cast<std::int64_t>(size);
  if (bound < 0) bound = std::max<std::int64_t>(bound + count, 0);
  return static_cast<std::size_t>(std::min(bound, count));
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t feed = text.find('\n', start);
    const std::size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

Json reported_end_line(const LineNumber& start, std::size_t lines_read) {
  const auto count = static_cast<std::int64_t>(lines_read);
  if (const auto* integer = std::get_if<std::int64_t>(&start)) {
    std::int64_t end = 0;
    if (__builtin_add_overflow(*integer, count - 1, &end)) {
      throw std::invalid_argument("start_line is out of range");
    }
    return end;
  }
  return std::get<double>(start) + static_cast<double>(count) - 1.0;
}

bool greater_than_one(const LineNumber& number) {
  if (const auto* integer = std::get_if<std::int64_t>(&number)) return *integer > 1;
  return std::get<double>(number) > 1.0;
}

}  // namespace

SkillResult ReadFileSkill::execute_now(const Json& arguments) const {
  if (std::string error = validate_arguments(arguments); !error.empty()) {
    return failure(SkillResultStatus::ERROR, std::move(error));
  }
  const std::string path_str = text_argument(arguments, "path");
  const Json start_line = argument_or(arguments, "start_line", 1);
  const Json end_line = argument_or(arguments, "end_line", nullptr);
  if (sandbox) {
    if (std::string refusal = sandbox->validate_path(path_str); !refusal.empty()) {
      return failure(SkillResultStatus::DENIED, std::move(refusal));
    }
  }
  const auto target = stat_target(path_str);
  if (!target) return failure(SkillResultStatus::ERROR, "File not found: " + path_str);
  if (!S_ISREG(target->st_mode))
    return failure(SkillResultStatus::ERROR, "Not a file: " + path_str);

  try {
    std::optional<SandboxValidator> unrestricted;
    const SandboxValidator& access = access_for(sandbox, unrestricted);
    // Non-blocking, so that a FIFO swapped in after the test cannot stall the open or the read.
    const UniqueFd file =
        access.open(path_str.empty() ? "." : path_str, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) throw std::system_error(errno, std::generic_category());
    if (!S_ISREG(info.st_mode)) return failure(SkillResultStatus::ERROR, "Not a file: " + path_str);
    const std::string text = text::decode_text(
        text::read_descriptor_bytes(file.get(), static_cast<std::size_t>(info.st_size)),
        text::InvalidUtf8::replace);
    std::vector<std::string_view> lines = split_lines(text);

    const LineNumber start = line_number(start_line, "start_line");
    std::size_t first = 0;
    std::size_t last = lines.size();
    if (is_truthy(end_line)) {
      const std::int64_t start_position = position(start, "start_line");
      const std::int64_t end_position = position(line_number(end_line, "end_line"), "end_line");
      first = slice_bound(start_position - 1, lines.size());
      last = slice_bound(end_position, lines.size());
    } else if (greater_than_one(start)) {
      first = slice_bound(position(start, "start_line") - 1, lines.size());
    }
    std::string content;
    std::size_t lines_read = 0;
    for (std::size_t i = first; i < last; ++i, ++lines_read) content.append(lines[i]);

    SkillResult result;
    result.status = SkillResultStatus::SUCCESS;
    result.data["path"] = text::normalize_path_text(path_str);
    result.data["lines_read"] = lines_read;
    result.data["start_line"] = start_line;
    result.data["end_line"] = is_truthy(end_line) ? end_line : reported_end_line(start, lines_read);
    result.output = std::move(content);
    return result;
  } catch (const std::exception&) {
    return failure_of_current_exception("Failed to read file: ", path_str);
  }
}

}  // namespace orvane

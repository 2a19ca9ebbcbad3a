#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "skills/disk_tools.hpp"
#include "skills/glob_walker.hpp"
#include "skills/skill_support.hpp"
#include "text/ascii.hpp"
#include "text/read_descriptor.hpp"
#include "text/regex.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

using namespace skill_support;

constexpr std::size_t kPreviewCount = 3;
constexpr std::size_t kPreviewLength = 100;

// `max_results` compared with the number of entries collected. Any number compares; another
// kind fails at the first comparison, as the count is only compared once a path arrives.
bool limit_reached(const Json& max_results, std::size_t collected) {
  switch (max_results.type()) {
    case Json::value_t::number_unsigned:
      return collected >= max_results.get<std::uint64_t>();
    case Json::value_t::number_integer: {
      const auto limit = max_results.get<std::int64_t>();
      return limit < 0 || collected >= static_cast<std::uint64_t>(limit);
    }
    case Json::value_t::number_float:
      return static_cast<double>(collected) >= max_results.get<double>();
    case Json::value_t::boolean:
      return collected >= (max_results.get<bool>() ? 1U : 0U);
    default:
      throw std::invalid_argument("max_results must be a number, not " + kind_name(max_results));
  }
}

// Buffers reused from one candidate file to the next within one search.
struct ReadScratch {
  std::string bytes;
  std::string decoded;
};

struct CandidateText {
  std::string_view text;  // borrows from the ReadScratch
  bool ascii;
};

// The file's text under the skills' reading convention, or no value when the entry is not a
// regular file once opened. Throws on any failure to open or read.
std::optional<CandidateText> read_candidate(const SandboxValidator& access,
                                            const glob::GlobEntry& entry, ReadScratch& scratch) {
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  UniqueFd file;
  if (entry.confined && entry.directory >= 0) {
    const std::string name(entry.name);
    file = UniqueFd(::openat(entry.directory, name.c_str(), kFlags | O_NOFOLLOW));
    if (!file.valid()) throw std::system_error(errno, std::generic_category());
  } else {
    file = access.open(entry.path, kFlags);
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw std::system_error(errno, std::generic_category());
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  const std::size_t size =
      text::read_descriptor_into(file.get(), static_cast<std::size_t>(info.st_size), scratch.bytes);
  const std::string_view bytes(scratch.bytes.data(), size);
  // Most files need no repair: skip the copy then.
  const bool has_carriage_return = std::memchr(bytes.data(), '\r', bytes.size()) != nullptr;
  if (text::is_ascii(bytes)) {
    if (!has_carriage_return) return CandidateText{bytes, true};
  } else if (!has_carriage_return && text::is_valid_utf8(bytes)) {
    return CandidateText{bytes, false};
  }
  scratch.decoded = text::decode_text(bytes, text::InvalidUtf8::replace);
  return CandidateText{scratch.decoded, text::is_ascii(scratch.decoded)};
}

// Every non-overlapping match of `regex` in `text`, left to right, empty ones included; after
// an empty match the next one may not be empty at the same place.
void collect_matches(const text::Regex& regex, std::string_view text, std::size_t& count,
                     Json& previews) {
  text::RegexScratch scratch(regex);
  std::size_t start = 0;
  bool after_empty = false;
  while (start <= text.size()) {
    const auto span = regex.find_span(
        text, start, {.not_empty_at_start = after_empty, .subject_is_valid_utf8 = true}, scratch);
    if (!span) break;
    if (++count <= kPreviewCount) {
      previews.push_back(std::string(text::first_code_points(
          text.substr(span->begin, span->end - span->begin), kPreviewLength)));
    }
    after_empty = span->begin == span->end;
    start = span->end;
  }
}

}  // namespace

SkillResult SearchFilesSkill::execute_now(const Json& arguments) const {
  if (std::string error = validate_arguments(arguments); !error.empty()) {
    return failure(SkillResultStatus::ERROR, std::move(error));
  }
  const Json& pattern = arguments.at("pattern");
  const Json content_pattern = argument_or(arguments, "content_pattern", nullptr);
  const std::string directory =
      arguments.contains("directory") ? text_argument(arguments, "directory") : ".";
  const Json max_results = argument_or(arguments, "max_results", 100);
  if (sandbox) {
    if (std::string refusal = sandbox->validate_path(directory); !refusal.empty()) {
      return failure(SkillResultStatus::DENIED, std::move(refusal));
    }
  }
  if (!stat_target(directory)) {
    return failure(SkillResultStatus::ERROR, "Directory not found: " + directory);
  }

  try {
    std::optional<text::Regex> content_regex;
    // The same pattern without Unicode properties, for ASCII-only files: the matches are the
    // same there, and the matcher can skip ahead much faster.
    std::optional<text::Regex> ascii_regex;
    if (is_truthy(content_pattern)) {
      if (!content_pattern.is_string()) {
        throw std::invalid_argument("content_pattern must be a string, not " +
                                    kind_name(content_pattern));
      }
      try {
        content_regex.emplace(content_pattern.get_ref<const std::string&>());
      } catch (const text::RegexError& error) {
        return failure(SkillResultStatus::ERROR,
                       std::string("Invalid regex pattern: ") + error.what());
      }
      ascii_regex.emplace(content_pattern.get_ref<const std::string&>(),
                          text::RegexOptions{.unicode_properties = false});
    }
    if (!pattern.is_string()) {
      throw std::invalid_argument("pattern must be a string, not " + kind_name(pattern));
    }
    const glob::GlobPattern glob_pattern(pattern.get_ref<const std::string&>());

    std::optional<SandboxValidator> unrestricted;
    const SandboxValidator& access = access_for(sandbox, unrestricted);
    Json matches = Json::array();
    ReadScratch scratch;
    glob::walk_glob(access, directory, glob_pattern, [&](const glob::GlobEntry& entry) {
      if (limit_reached(max_results, matches.size())) return false;
      if (!entry.is_regular_file) return true;
      // An entry reached through real directories under the sandboxed start lies inside by
      // construction; the others (links to files) are checked by path.
      if (sandbox && !entry.confined &&
          !sandbox->is_path_allowed(std::filesystem::path(entry.path))) {
        return true;
      }
      Json info = Json::object();
      info["path"] = std::string(entry.path);
      if (content_regex) {
        std::size_t count = 0;
        Json previews = Json::array();
        try {
          const auto content = read_candidate(access, entry, scratch);
          if (!content) return true;
          collect_matches(content->ascii ? *ascii_regex : *content_regex, content->text, count,
                          previews);
        } catch (const std::exception&) {
          return true;  // unreadable, or beyond the matcher's limits: left out
        }
        if (count == 0) return true;
        info["content_matches"] = count;
        info["match_previews"] = std::move(previews);
      }
      matches.push_back(std::move(info));
      return true;
    });

    SkillResult result;
    result.status = SkillResultStatus::SUCCESS;
    result.output = "Found " + std::to_string(matches.size()) + " matching files";
    const std::size_t total = matches.size();
    result.data["matches"] = std::move(matches);
    result.data["pattern"] = pattern;
    result.data["content_pattern"] = content_pattern;
    result.data["total_matches"] = total;
    return result;
  } catch (const PathDenied& refusal) {
    return failure(SkillResultStatus::DENIED, refusal.what());
  } catch (const std::exception& error) {
    return failure(SkillResultStatus::ERROR, std::string("Search failed: ") + error.what());
  }
}

}  // namespace orvane

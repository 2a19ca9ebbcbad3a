#include "skills/sandbox_validator.hpp"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <system_error>

namespace orvane {
namespace {

constexpr int kMaxSymlinkHops = 40;

[[noreturn]] void throw_errno(int error) {
  throw std::system_error(error, std::generic_category());
}

std::string shown(std::string_view path_text) {
  std::string out;
  for (const char c : path_text) {
    if (c == '\0') {
      out += "\\0";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string outside_message(std::string_view path_text) {
  return "Access denied: path '" + shown(path_text) + "' is outside the allowed directories";
}

void push_segments(std::string_view path, std::deque<std::string>& queue) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  queue.insert(queue.begin(), parts.begin(), parts.end());
}

std::string join_absolute(const std::vector<std::string>& segments) {
  if (segments.empty()) return "/";
  std::string out;
  for (const auto& segment : segments) {
    out.push_back('/');
    out += segment;
  }
  return out;
}

// The components of `path_text` as the kernel would resolve it: every symbolic link followed
// (dangling ones too, into their targets), ".." applied to the real parent, and what lies past
// the longest existing prefix appended as written. Throws std::system_error on a lookup error
// other than a missing entry, and on a loop of links.
std::vector<std::string> resolve(std::string_view path_text) {
  std::deque<std::string> pending;
  if (!path_text.starts_with('/')) push_segments(std::filesystem::current_path().native(), pending);
  {
    std::deque<std::string> own;
    push_segments(path_text, own);
    pending.insert(pending.end(), own.begin(), own.end());
  }
  std::vector<std::string> resolved;
  bool existing = true;
  int hops = 0;
  std::string link_target(4096, '\0');
  while (!pending.empty()) {
    std::string segment = std::move(pending.front());
    pending.pop_front();
    if (segment == ".") continue;
    if (segment == "..") {
      if (!resolved.empty()) resolved.pop_back();
      continue;
    }
    if (!existing) {
      resolved.push_back(std::move(segment));
      continue;
    }
    const std::string candidate = join_absolute(resolved) + (resolved.empty() ? "" : "/") + segment;
    struct stat info {};
    if (::lstat(candidate.c_str(), &info) != 0) {
      if (errno != ENOENT && errno != ENOTDIR) throw_errno(errno);
      existing = false;
      resolved.push_back(std::move(segment));
      continue;
    }
    if (S_ISLNK(info.st_mode)) {
      if (++hops > kMaxSymlinkHops) throw_errno(ELOOP);
      const ssize_t length = ::readlink(candidate.c_str(), link_target.data(), link_target.size());
      if (length < 0) throw_errno(errno);
      const std::string_view target(link_target.data(), static_cast<std::size_t>(length));
      if (target.starts_with('/')) resolved.clear();
      push_segments(target, pending);
      continue;
    }
    if (!S_ISDIR(info.st_mode)) existing = false;
    resolved.push_back(std::move(segment));
  }
  return resolved;
}

bool lies_within(const std::vector<std::string>& path, const std::vector<std::string>& root) {
  return path.size() >= root.size() && std::equal(root.begin(), root.end(), path.begin());
}

bool is_symlink_at(int directory, const std::string& name) {
  struct stat info {};
  return ::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(info.st_mode);
}

std::string join_relative(const std::vector<std::string>& below, std::size_t count) {
  if (count == 0) return ".";
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) out.push_back('/');
    out += below[i];
  }
  return out;
}

// Opens `below` (components, none of them "..") under `root` without following any symbolic
// link. Any link met means the tree changed since the path was resolved: a refusal.
UniqueFd walk_beneath(int root, const std::vector<std::string>& below, int flags, mode_t mode,
                      std::string_view path_text) {
  if (below.empty()) {
    UniqueFd fd(::openat(root, ".", flags | O_CLOEXEC, mode));
    if (!fd.valid()) throw_errno(errno);
    return fd;
  }
  UniqueFd current;
  int parent = root;
  for (std::size_t i = 0; i + 1 < below.size(); ++i) {
    UniqueFd next(
        ::openat(parent, below[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) {
      const int error = errno;
      if ((error == ENOTDIR || error == ELOOP) && is_symlink_at(parent, below[i])) {
        throw PathDenied(outside_message(path_text));
      }
      throw_errno(error);
    }
    current = std::move(next);
    parent = current.get();
  }
  UniqueFd fd(::openat(parent, below.back().c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!fd.valid()) {
    const int error = errno;
    if ((error == ELOOP || error == ENOTDIR) && is_symlink_at(parent, below.back())) {
      throw PathDenied(outside_message(path_text));
    }
    throw_errno(error);
  }
  if ((flags & O_PATH) != 0) {
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && S_ISLNK(info.st_mode)) {
      throw PathDenied(outside_message(path_text));
    }
  }
  return fd;
}

UniqueFd open_beneath(int root, const std::vector<std::string>& below, int flags, mode_t mode,
                      BeneathOpen how, std::string_view path_text) {
  if (std::find(below.begin(), below.end(), "..") != below.end()) {
    throw PathDenied(outside_message(path_text));
  }
  if (how == BeneathOpen::kernel_first) {
    const std::string relative = join_relative(below, below.size());
    open_how request{};
    request.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    request.mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? mode : 0;
    request.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, root, relative.c_str(), &request, sizeof request);
    if (fd >= 0) return UniqueFd(static_cast<int>(fd));
    if (errno == EXDEV) throw PathDenied(outside_message(path_text));
    if (errno != ENOSYS) throw_errno(errno);
  }
  return walk_beneath(root, below, flags, mode, path_text);
}

}  // namespace

SandboxValidator::SandboxValidator() : SandboxValidator({std::filesystem::current_path()}) {}

SandboxValidator::SandboxValidator(const std::vector<std::filesystem::path>& allowed_roots,
                                   BeneathOpen how)
    : how_(how) {
  for (const auto& root : allowed_roots) {
    const std::filesystem::path canonical = std::filesystem::canonical(root);
    UniqueFd directory(::open(canonical.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!directory.valid()) {
      throw std::filesystem::filesystem_error("cannot open sandbox root", canonical,
                                              std::error_code(errno, std::generic_category()));
    }
    roots_.push_back(Root{resolve(canonical.native()), std::move(directory)});
  }
}

SandboxValidator SandboxValidator::unrestricted() {
  return SandboxValidator({"/"});
}

SandboxValidator::Located SandboxValidator::locate(std::string_view path_text) const {
  if (path_text.find('\0') != std::string_view::npos) {
    throw PathDenied("Access denied: path '" + shown(path_text) + "' contains a NUL character");
  }
  std::vector<std::string> resolved;
  try {
    resolved = resolve(path_text);
  } catch (const std::system_error& error) {
    throw PathDenied("Access denied: cannot resolve path '" + std::string(path_text) +
                     "': " + error.code().message());
  }
  for (const auto& root : roots_) {
    if (lies_within(resolved, root.segments)) {
      return Located{&root, std::vector<std::string>(resolved.begin() + static_cast<std::ptrdiff_t>(
                                                                            root.segments.size()),
                                                     resolved.end())};
    }
  }
  throw PathDenied(outside_message(path_text));
}

std::string SandboxValidator::validate_path(std::string_view path_text) const {
  try {
    locate(path_text);
  } catch (const PathDenied& refusal) {
    return refusal.what();
  }
  return {};
}

bool SandboxValidator::is_path_allowed(const std::filesystem::path& path) const {
  return validate_path(path.native()).empty();
}

UniqueFd SandboxValidator::open(std::string_view path_text, int flags, mode_t mode) const {
  const Located located = locate(path_text);
  return open_beneath(located.root->directory.get(), located.below, flags, mode, how_, path_text);
}

SandboxValidator::ParentDirectory SandboxValidator::open_parent(std::string_view path_text,
                                                                bool create_missing) const {
  Located located = locate(path_text);
  // The root itself has no parent inside the sandbox; as a target it is a directory.
  if (located.below.empty()) throw_errno(EISDIR);
  std::string name = std::move(located.below.back());
  located.below.pop_back();
  const int root = located.root->directory.get();
  try {
    return ParentDirectory{
        open_beneath(root, located.below, O_PATH | O_DIRECTORY, 0, how_, path_text),
        std::move(name)};
  } catch (const std::system_error& error) {
    if (!create_missing || error.code() != std::errc::no_such_file_or_directory) throw;
  }
  UniqueFd current;
  int parent = root;
  for (const auto& segment : located.below) {
    if (::mkdirat(parent, segment.c_str(), 0777) != 0 && errno != EEXIST) throw_errno(errno);
    UniqueFd next(::openat(parent, segment.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) {
      const int error = errno;
      if ((error == ENOTDIR || error == ELOOP) && is_symlink_at(parent, segment)) {
        throw PathDenied(outside_message(path_text));
      }
      throw_errno(error);
    }
    current = std::move(next);
    parent = current.get();
  }
  if (!current.valid()) throw_errno(ENOENT);
  return ParentDirectory{std::move(current), std::move(name)};
}

std::vector<std::filesystem::path> SandboxValidator::roots() const {
  std::vector<std::filesystem::path> out;
  for (const auto& root : roots_) out.emplace_back(join_absolute(root.segments));
  return out;
}

}  // namespace orvane

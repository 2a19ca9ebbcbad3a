#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <stdexcept>

#include "skills/disk_tools.hpp"
#include "skills/skill_support.hpp"
#include "text/paths.hpp"
#include "text/utf8.hpp"

namespace orvane {
namespace {

using namespace skill_support;

[[noreturn]] void throw_errno(int error) {
  throw std::system_error(error, std::generic_category());
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw_errno(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

bool is_symlink_at(int directory, const std::string& name) {
  struct stat info {};
  return ::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(info.st_mode);
}

// Opens `name` in `directory` without following a link: the sandbox resolved links already,
// so one found now was swapped in after the check.
UniqueFd open_in(int directory, const std::string& name, int flags, std::string_view path_str) {
  UniqueFd fd(::openat(directory, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (fd.valid()) return fd;
  const int error = errno;
  if (error == ELOOP && is_symlink_at(directory, name)) {
    throw PathDenied("Access denied: path '" + std::string(path_str) +
                     "' changed into a symbolic link while being written");
  }
  throw_errno(error);
}

void require_regular(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) throw_errno(errno);
  if (S_ISDIR(info.st_mode)) throw_errno(EISDIR);
  if (!S_ISREG(info.st_mode)) throw std::runtime_error("not a regular file");
}

void append_to(const SandboxValidator::ParentDirectory& parent, std::string_view bytes,
               std::string_view path_str) {
  // Non-blocking, so that opening a FIFO fails instead of waiting for a reader.
  const UniqueFd file = open_in(parent.directory.get(), parent.name,
                                O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY, path_str);
  require_regular(file.get());
  write_all(file.get(), bytes);
}

std::string temporary_name(const std::string& target) {
  std::random_device random;
  constexpr char kHex[] = "0123456789abcdef";
  std::string suffix;
  for (int i = 0; i < 2; ++i) {
    const unsigned value = random();
    for (int shift = 0; shift < 32; shift += 4) suffix.push_back(kHex[(value >> shift) & 0xF]);
  }
  // Cut so that a long target name still leaves room for the suffix within NAME_MAX.
  std::string name(1, '.');
  name.append(target, 0, 200);
  name.push_back('.');
  name.append(suffix);
  name.append(".tmp");
  return name;
}

// Removes the temporary file unless the rename consumed it.
class TemporaryFile {
 public:
  TemporaryFile(int directory, std::string name) : directory_(directory), name_(std::move(name)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!name_.empty()) ::unlinkat(directory_, name_.c_str(), 0);
  }
  const std::string& name() const { return name_; }
  void release() { name_.clear(); }

 private:
  int directory_;
  std::string name_;
};

void replace_contents(const SandboxValidator::ParentDirectory& parent, std::string_view bytes,
                      std::string_view path_str) {
  const int directory = parent.directory.get();
  struct stat existing {};
  bool exists = false;
  if (::fstatat(directory, parent.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    exists = true;
    if (S_ISLNK(existing.st_mode)) {
      throw PathDenied("Access denied: path '" + std::string(path_str) +
                       "' changed into a symbolic link while being written");
    }
    if (S_ISDIR(existing.st_mode)) throw_errno(EISDIR);
    if (!S_ISREG(existing.st_mode)) throw std::runtime_error("not a regular file");
  } else if (errno != ENOENT) {
    throw_errno(errno);
  }

  UniqueFd file;
  std::string name;
  for (int attempt = 0; !file.valid(); ++attempt) {
    name = temporary_name(parent.name);
    file = UniqueFd(::openat(directory, name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file.valid() && (errno != EEXIST || attempt == 8)) throw_errno(errno);
  }
  TemporaryFile temporary(directory, name);
  write_all(file.get(), bytes);
  if (exists) {
    if (::fchmod(file.get(), existing.st_mode & 07777) != 0) throw_errno(errno);
    // Keeping the owner needs privileges; without them the file belongs to the writer, as a
    // file written anew would.
    if (::fchown(file.get(), existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
      throw_errno(errno);
    }
  }
  if (::fsync(file.get()) != 0) throw_errno(errno);
  file.reset();
  if (::renameat(directory, temporary.name().c_str(), directory, parent.name.c_str()) != 0) {
    throw_errno(errno);
  }
  temporary.release();
}

}  // namespace

SkillResult WriteFileSkill::execute_now(const Json& arguments) const {
  if (std::string error = validate_arguments(arguments); !error.empty()) {
    return failure(SkillResultStatus::ERROR, std::move(error));
  }
  const std::string path_str = text_argument(arguments, "path");
  const Json& content = arguments.at("content");
  const Json mode = argument_or(arguments, "mode", "overwrite");
  if (sandbox) {
    if (std::string refusal = sandbox->validate_path(path_str); !refusal.empty()) {
      return failure(SkillResultStatus::DENIED, std::move(refusal));
    }
  }
  try {
    // Checked before anything is created, so that a content that cannot be written changes
    // nothing on disk.
    if (!content.is_string()) {
      throw std::invalid_argument("content must be a string, not " + kind_name(content));
    }
    const std::string& bytes = content.get_ref<const std::string&>();
    if (!text::is_valid_utf8(bytes)) throw std::invalid_argument("content is not valid UTF-8");
    const bool append = mode.is_string() && mode.get_ref<const std::string&>() == "append";

    std::optional<SandboxValidator> unrestricted;
    const SandboxValidator& access = access_for(sandbox, unrestricted);
    const auto parent = access.open_parent(path_str, true);
    if (append) {
      append_to(parent, bytes, path_str);
    } else {
      replace_contents(parent, bytes, path_str);
    }

    SkillResult result;
    result.status = SkillResultStatus::SUCCESS;
    result.output = "Successfully wrote " + std::to_string(bytes.size()) + " bytes to " + path_str;
    result.data["path"] = text::normalize_path_text(path_str);
    result.data["bytes_written"] = bytes.size();
    result.data["mode"] = mode;
    return result;
  } catch (const std::exception&) {
    return failure_of_current_exception("Failed to write file: ", path_str);
  }
}

}  // namespace orvane

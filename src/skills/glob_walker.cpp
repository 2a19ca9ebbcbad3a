#include "skills/glob_walker.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <unordered_set>

#include "text/paths.hpp"

namespace orvane::glob {
namespace {

using Segment = GlobPattern::Segment;

[[noreturn]] void throw_errno(int error) {
  throw std::system_error(error, std::generic_category());
}

// Errors that make a kind test answer "no" instead of failing.
bool ignorable(int error) {
  return error == ENOENT || error == ENOTDIR || error == EBADF || error == ELOOP;
}

bool permission_error(int error) {
  return error == EACCES || error == EPERM;
}

std::string child_text(const std::string& parent, std::string_view name) {
  if (parent == ".") return std::string(name);
  std::string out;
  out.reserve(parent.size() + 1 + name.size());
  out = parent;
  if (!parent.ends_with('/')) out.push_back('/');
  out.append(name);
  return out;
}

struct Directory {
  UniqueFd fd;  // -1 when it could not be opened at all
  bool listable = false;
  // Set once a listing read the descriptor to its end: a second listing rewinds first.
  mutable bool listed = false;
  std::string text;
  bool confined = false;
};

// One directory's entries, names packed in one buffer.
struct Listing {
  struct Item {
    std::size_t offset;
    std::size_t length;
    unsigned char type;
  };
  std::string names;
  std::vector<Item> items;
  std::string_view name(const Item& item) const {
    return {names.data() + item.offset, item.length};
  }
};

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

// Opens `name` under `parent` as a directory, without following a link. A directory that may
// not be read is still opened for lookups (O_PATH).
Directory open_real_subdirectory(const Directory& parent, std::string_view name, std::string text) {
  Directory child{UniqueFd{}, false, false, std::move(text), parent.confined};
  const std::string name_text(name);
  child.fd = UniqueFd(::openat(parent.fd.get(), name_text.c_str(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (child.fd.valid()) {
    child.listable = true;
  } else if (permission_error(errno)) {
    child.fd = UniqueFd(::openat(parent.fd.get(), name_text.c_str(),
                                 O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  return child;
}

// Opens a directory by its path text through the validator: for links and "..", which may lead
// anywhere. A refusal gives a directory that contributes nothing.
Directory open_through(const SandboxValidator& opener, std::string text) {
  Directory directory{UniqueFd{}, false, false, std::move(text), true};
  try {
    directory.fd = opener.open(directory.text, O_RDONLY | O_DIRECTORY);
    directory.listable = true;
  } catch (const PathDenied&) {
  } catch (const std::system_error& error) {
    if (!permission_error(error.code().value())) return directory;
    try {
      directory.fd = opener.open(directory.text, O_PATH | O_DIRECTORY);
    } catch (const std::exception&) {
    }
  }
  return directory;
}

class Walk {
 public:
  Walk(const SandboxValidator& opener, const GlobPattern& pattern, const GlobVisitor& visit)
      : opener_(opener),
        segments_(pattern.segments()),
        deduplicate_(pattern.may_repeat()),
        visit_(visit),
        buffer_(64 * 1024) {}

  void run(std::string_view directory_text) {
    Directory start = open_through_start(text::normalize_path_text(directory_text));
    if (!start.fd.valid()) return;
    select(0, start, nullptr);
  }

 private:
  Directory open_through_start(std::string text) {
    Directory directory{UniqueFd{}, false, false, std::move(text), true};
    try {
      directory.fd = opener_.open(directory.text, O_RDONLY | O_DIRECTORY);
      directory.listable = true;
    } catch (const std::system_error& error) {
      const int code = error.code().value();
      if (ignorable(code)) return directory;
      if (!permission_error(code)) throw;
      directory.fd = opener_.open(directory.text, O_PATH | O_DIRECTORY);
    }
    return directory;
  }

  // False when the directory cannot be listed for lack of permission (or was opened for
  // lookups only).
  bool read_listing(const Directory& directory, Listing& listing) {
    listing.names.clear();
    listing.items.clear();
    if (!directory.listable) return false;
    if (directory.listed && ::lseek(directory.fd.get(), 0, SEEK_SET) != 0) throw_errno(errno);
    directory.listed = true;
    while (true) {
      const long got =
          ::syscall(SYS_getdents64, directory.fd.get(), buffer_.data(), buffer_.size());
      if (got < 0) {
        if (errno == EINTR) continue;
        if (permission_error(errno) || errno == EBADF) return false;
        throw_errno(errno);
      }
      if (got == 0) return true;
      std::size_t offset = 0;
      while (offset < static_cast<std::size_t>(got)) {
        const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer_.data() + offset);
        offset += entry->d_reclen;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        const std::size_t length = std::strlen(name);
        listing.items.push_back({listing.names.size(), length, entry->d_type});
        listing.names.append(name, length);
      }
    }
  }

  bool emit(std::string_view path, int directory, std::string_view name, bool regular,
            bool confined) {
    if (deduplicate_ && !seen_.emplace(path).second) return true;
    return visit_(GlobEntry{path, directory, name, regular, confined});
  }

  // Emits an entry of `directory` matched by the last segment.
  bool emit_entry(const Directory& directory, std::string_view name, unsigned char type) {
    path_scratch_ = child_text(directory.text, name);
    bool is_link = type == DT_LNK;
    bool regular = type == DT_REG;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      name_scratch_.assign(name);
      struct stat info {};
      if (type == DT_UNKNOWN &&
          ::fstatat(directory.fd.get(), name_scratch_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        is_link = S_ISLNK(info.st_mode);
      }
      if (::fstatat(directory.fd.get(), name_scratch_.c_str(), &info, 0) == 0) {
        regular = S_ISREG(info.st_mode);
      } else if (!ignorable(errno)) {
        throw_errno(errno);
      } else {
        regular = false;
      }
    }
    return emit(path_scratch_, directory.fd.get(), name, regular, directory.confined && !is_link);
  }

  // Whether an entry is a directory, by its target. Returns -1 when a permission error ends
  // the listing of the parent (as the whole selector gives up on it).
  int entry_is_directory(const Directory& directory, std::string_view name, unsigned char type) {
    if (type == DT_DIR) return 1;
    if (type != DT_LNK && type != DT_UNKNOWN) return 0;
    const std::string name_text(name);
    struct stat info {};
    if (::fstatat(directory.fd.get(), name_text.c_str(), &info, 0) == 0) {
      return S_ISDIR(info.st_mode) ? 1 : 0;
    }
    if (ignorable(errno)) return 0;
    if (permission_error(errno)) return -1;
    throw_errno(errno);
  }

  bool is_real_directory(const Directory& directory, std::string_view name, unsigned char type) {
    if (type == DT_DIR) return true;
    if (type != DT_UNKNOWN) return false;
    const std::string name_text(name);
    struct stat info {};
    return ::fstatat(directory.fd.get(), name_text.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
  }

  Directory open_child(const Directory& parent, std::string_view name, unsigned char type) {
    std::string text = child_text(parent.text, name);
    if (type == DT_DIR || (type == DT_UNKNOWN && is_real_directory(parent, name, type))) {
      return open_real_subdirectory(parent, name, std::move(text));
    }
    return open_through(opener_, std::move(text));
  }

  // Matches segments_[index..] inside `directory`; `listing` is its listing when the caller has
  // it already. Returns false when the visitor stopped the walk.
  bool select(std::size_t index, const Directory& directory, const Listing* listing) {
    const Segment& segment = segments_[index];
    const bool last = index + 1 == segments_.size();
    switch (segment.kind) {
      case Segment::Kind::end:
        return emit(directory.text, -1, {}, false, directory.confined);
      case Segment::Kind::recursive:
        return select_recursive(index, directory, last);
      case Segment::Kind::wildcard:
        return select_wildcard(index, directory, listing, last);
      case Segment::Kind::literal:
        return select_literal(index, directory, last);
    }
    return true;
  }

  bool select_recursive(std::size_t index, const Directory& directory, bool last) {
    Listing listing;
    const bool listed = read_listing(directory, listing);
    if (last) {
      if (!emit(directory.text, -1, {}, false, directory.confined)) return false;
    } else if (!select(index + 1, directory, &listing)) {
      return false;
    }
    if (!listed) return true;
    for (const auto& item : listing.items) {
      const std::string_view name = listing.name(item);
      if (!is_real_directory(directory, name, item.type)) continue;
      const Directory child =
          open_real_subdirectory(directory, name, child_text(directory.text, name));
      if (!child.fd.valid()) continue;
      if (!select_recursive(index, child, last)) return false;
    }
    return true;
  }

  bool select_wildcard(std::size_t index, const Directory& directory, const Listing* given,
                       bool last) {
    Listing own;
    if (given == nullptr) {
      if (!read_listing(directory, own)) return true;
      given = &own;
    }
    const auto& tokens = segments_[index].tokens;
    for (const auto& item : given->items) {
      const std::string_view name = given->name(item);
      if (last) {
        if (!wildcard_matches(tokens, name)) continue;
        if (!emit_entry(directory, name, item.type)) return false;
        continue;
      }
      const int is_directory = entry_is_directory(directory, name, item.type);
      if (is_directory < 0) return true;
      if (is_directory == 0 || !wildcard_matches(tokens, name)) continue;
      const Directory child = open_child(directory, name, item.type);
      if (!child.fd.valid()) continue;
      if (!select(index + 1, child, nullptr)) return false;
    }
    return true;
  }

  bool select_literal(std::size_t index, const Directory& directory, bool last) {
    const std::string& name = segments_[index].text;
    if (name == "..") {
      std::string text = child_text(directory.text, name);
      if (last) return emit(text, -1, {}, false, directory.confined);
      // A parent outside the roots is not opened, but a literal path may lead back inside.
      const Directory parent = open_through(opener_, std::move(text));
      return select(index + 1, parent, nullptr);
    }
    if (!directory.fd.valid()) return select_literal_by_text(index, directory, last);
    struct stat info {};
    if (::fstatat(directory.fd.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (ignorable(errno) || permission_error(errno)) return true;
      throw_errno(errno);
    }
    const bool is_link = S_ISLNK(info.st_mode);
    if (is_link && ::fstatat(directory.fd.get(), name.c_str(), &info, 0) != 0) {
      if (ignorable(errno) || permission_error(errno)) return true;
      throw_errno(errno);
    }
    if (last) {
      path_scratch_ = child_text(directory.text, name);
      return emit(path_scratch_, directory.fd.get(), name, S_ISREG(info.st_mode),
                  directory.confined && !is_link);
    }
    if (!S_ISDIR(info.st_mode)) return true;
    const Directory child =
        is_link ? open_through(opener_, child_text(directory.text, name))
                : open_real_subdirectory(directory, name, child_text(directory.text, name));
    if (!child.fd.valid()) return true;
    return select(index + 1, child, nullptr);
  }

  // A literal segment under a directory that was not opened (one outside the roots, reached
  // by ".."): the path is looked up and opened by its text, through the validator.
  bool select_literal_by_text(std::size_t index, const Directory& directory, bool last) {
    std::string text = child_text(directory.text, segments_[index].text);
    if (last) {
      struct stat info {};
      if (::stat(text.c_str(), &info) != 0) {
        if (ignorable(errno) || permission_error(errno)) return true;
        throw_errno(errno);
      }
      return emit(text, -1, segments_[index].text, S_ISREG(info.st_mode), false);
    }
    const Directory child = open_through(opener_, std::move(text));
    if (!child.fd.valid()) return true;
    return select(index + 1, child, nullptr);
  }

  const SandboxValidator& opener_;
  const std::vector<Segment>& segments_;
  const bool deduplicate_;
  const GlobVisitor& visit_;
  std::vector<char> buffer_;
  std::unordered_set<std::string> seen_;
  std::string path_scratch_;
  std::string name_scratch_;
};

}  // namespace

void walk_glob(const SandboxValidator& opener, std::string_view directory,
               const GlobPattern& pattern, const GlobVisitor& visit) {
  Walk(opener, pattern, visit).run(directory);
}

}  // namespace orvane::glob

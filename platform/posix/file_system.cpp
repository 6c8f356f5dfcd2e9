// Files and folders by name on POSIX: existence, deletion, renaming, DOS attributes and times,
// folder trees, free space and the well-known folders, all in engine path form.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dos_time_range.h"
#include "platform/platform.h"
#include "platform/posix/attribute_mode.h"
#include "platform/posix/beneath.h"
#include "platform/posix/path_mapping.h"

namespace qp::platform {
namespace {

// errno is clobbered too easily between a failure and the caller's question, so keep our own.
thread_local int tLastError = 0;

bool Fail(int error) {
  tLastError = error;
  return false;
}

// `followed`, when given, tells whether the answer came from a stat that follows a link.
bool StatResolved(const std::u16string& path, std::string& native, struct stat& st, bool* followed = nullptr) {
  posix::Lookup lookup;
  native = posix::ResolveExisting(path, lookup);
  if (native.empty()) {
    return Fail(ENOENT);
  }
  if (lookup.state == posix::Lookup::Found) {
    st = lookup.st;
  } else if (lookup.state == posix::Lookup::Missing) {
    return Fail(lookup.error);
  } else {
    if (followed != nullptr) *followed = true;
    if (stat(native.c_str(), &st) != 0) return Fail(errno);
  }
  return true;
}

std::string Join(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}


}  // namespace

int LastSystemError() {
  return tLastError;
}

bool FileExists(const std::u16string& path) {
  std::string native;
  struct stat st;
  bool followed = false;
  if (!StatResolved(path, native, st, &followed)) {
    // A symbolic link whose target is missing is still a name that is taken: the overwrite
    // rules must judge it as a file, or a create would write through it.
    const int error = tLastError;
    if (followed && lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
    return Fail(error);
  }
  return !S_ISDIR(st.st_mode) || Fail(EISDIR);
}

bool DirectoryExists(const std::u16string& path) {
  std::string native;
  struct stat st;
  if (!StatResolved(path, native, st)) return false;
  return S_ISDIR(st.st_mode) || Fail(ENOTDIR);
}

bool DeleteFile(const std::u16string& path) {
  const std::string native = posix::ResolveExisting(path);
  struct stat st;
  if (native.empty() || lstat(native.c_str(), &st) != 0) {
    return Fail(native.empty() ? ENOENT : errno);
  }
  if (S_ISDIR(st.st_mode)) {
    return Fail(EISDIR);
  }
  // As on Windows, the read-only attribute protects a file from deletion.
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
    return Fail(EACCES);
  }
  if (unlink(native.c_str()) != 0) {
    return Fail(errno);
  }
  posix::NoteRemoved(native);
  return true;
}

bool MoveFileReplace(const std::u16string& from, const std::u16string& to) {
  const std::string source = posix::ResolveExisting(from);
  const std::string target = posix::ResolveForCreate(to);
  if (source.empty() || target.empty()) {
    return Fail(ENOENT);
  }
  if (rename(source.c_str(), target.c_str()) != 0) {
    return Fail(errno);
  }
  posix::NoteRemoved(source);
  posix::NoteCreated(target);
  return true;
}

uint32_t GetFileAttributes(const std::u16string& path) {
  std::string native;
  struct stat st;
  if (!StatResolved(path, native, st)) return kInvalidAttributes;
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= faDirectory;
  } else {
    attributes |= faArchive;
  }
  if ((st.st_mode & S_IWUSR) == 0) {
    attributes |= faReadOnly;
  }
  std::string folder, name;
  posix::SplitPath(native, folder, name);
  if (name.size() > 1 && name[0] == '.' && name != "..") {
    attributes |= faHidden;
  }
  return attributes;
}

bool SetFileAttributes(const std::u16string& path, uint32_t attributes) {
  std::string native;
  struct stat st;
  if (!StatResolved(path, native, st)) return false;
  const mode_t mode = posix::ModeForAttributes(st.st_mode & 07777, attributes);
  if (mode != (st.st_mode & 07777) && chmod(native.c_str(), mode) != 0) {
    return Fail(errno);
  }
  return true;
}

int64_t FileDosDateTime(const std::u16string& path) {
  std::string native;
  struct stat st;
  if (!StatResolved(path, native, st)) return -1;
  struct tm local {};
  const time_t t = st.st_mtim.tv_sec;
  if (localtime_r(&t, &local) == nullptr) {
    Fail(EOVERFLOW);
    return -1;
  }
  const int year = local.tm_year + 1900;
  if (year < 1980) return kDosDateTimeMin;
  if (year > 2107) return kDosDateTimeMax;
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                        (static_cast<uint32_t>(local.tm_mon + 1) << 5) |
                        static_cast<uint32_t>(local.tm_mday);
  // A leap second (tm_sec 60) still has to fit the 5-bit field.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  const uint32_t time = (static_cast<uint32_t>(local.tm_hour) << 11) |
                        (static_cast<uint32_t>(local.tm_min) << 5) |
                        static_cast<uint32_t>(second / 2);
  return static_cast<int64_t>((date << 16) | time);
}

namespace {

// Opens the folder `name` inside dirFd without following a link, or -1 with errno: ELOOP
// for a link, ENOTDIR for anything else that is no folder.
int OpenFolderNoFollow(int dirFd, const std::string& name) {
  const int fd = openat(dirFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 || errno != ENOTDIR) return fd;
  struct stat st;
  errno = fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
  return -1;
}

// Makes the folders of `native` from `pos` on inside the held folder `rootFd` (whose path is
// `current`), entering each by descriptor without following links: a folder swapped for a
// link between two steps is never entered, and nothing is made through one. A folder whose
// listing is trusted answers whether a name is there without a call. ".." goes back to the
// folder entered before, never above the held folder.
bool ForceBeneath(int rootFd, std::string current, const std::string& native, size_t pos) {
  const size_t stop = native.find_last_not_of('/') + 1;
  while (pos < stop && native[pos] == '/') ++pos;
  if (pos >= stop) return true;  // the held folder itself
  std::string match;
  // A tree that is all there, as in every folder but the first of a run: one call. A name the
  // held folder's trusted listing lacks is not looked for.
  const std::string first = native.substr(pos, native.find('/', pos) - pos);
  if ((!posix::IsTrustedFolder(current) || (posix::FindFolded(current, first, match) && match == first)) &&
      posix::FolderExistsBeneath(rootFd, native.substr(pos, stop - pos)))
    return true;
  // No name the system could take is longer; walking by descriptor would not notice.
  if (stop - pos >= PATH_MAX) return Fail(ENAMETOOLONG);
  // The folders entered, each with the length of its path; the held folder at the bottom.
  // Only a path that goes back with ".." needs more than the last one kept open.
  const std::string_view rest(native.data() + pos, stop - pos);
  const bool climbs = rest == ".." || rest.substr(0, 3) == "../" || rest.find("/../") != std::string_view::npos ||
                      (rest.size() >= 3 && rest.substr(rest.size() - 3) == "/..");
  std::vector<std::pair<int, size_t>> entered{{rootFd, current.size()}};
  const auto closeEntered = [&] {
    for (size_t i = 1; i < entered.size(); ++i) {
      if (entered[i].first >= 0) close(entered[i].first);
    }
  };
  const auto fail = [&](int error) {
    closeEntered();
    return Fail(error);
  };
  bool made = false;  // the folder entered last was just made: nothing is in it yet
  while (pos < stop) {
    size_t end = native.find('/', pos);
    if (end == std::string::npos || end > stop) end = stop;
    const std::string component = native.substr(pos, end - pos);
    pos = end + 1;
    const bool last = pos >= stop;
    if (component.empty() || component == ".") continue;
    const int fd = entered.back().first;
    if (component == "..") {
      if (entered.size() == 1) return fail(EINVAL);
      if (fd >= 0) close(fd);
      entered.pop_back();
      current.resize(entered.back().second);
      made = false;
      continue;
    }
    if (fd < 0) return fail(ENOENT);  // only the last folder is left unentered
    std::string next = Join(current, component);
    int child = -1;
    bool missing = made;
    if (!made) {
      if (!posix::IsTrustedFolder(current)) {
        child = OpenFolderNoFollow(fd, component);
        if (child < 0 && errno != ENOENT) return fail(errno);
      }
      // A folder that differs only in case may stand in for the name, but a symbolic link
      // may not: it would lead the tree out of where it is being made. The exact name is
      // made then; the exact name as a link is refused.
      if (child < 0 && posix::FindFolded(current, component, match)) {
        child = OpenFolderNoFollow(fd, match);
        if (child >= 0) {
          next = Join(current, match);
        } else if (errno != ELOOP || match == component) {
          return fail(errno);
        }
      }
      missing = child < 0;
    }
    bool madeHere = false;
    if (missing) {
      if (mkdirat(fd, component.c_str(), 0777) == 0) {
        posix::NoteCreated(next);
        madeHere = true;
      } else if (errno != EEXIST) {
        return fail(errno);
      }
      // The last folder, just made, need not be entered: files are opened from the held
      // folder. One made meanwhile by someone else is checked to be a folder, not a link.
      if (!(last && madeHere)) {
        child = OpenFolderNoFollow(fd, component);
        if (child < 0) return fail(errno);
      }
    }
    made = madeHere;
    current = std::move(next);
    if (!climbs && entered.size() > 1) {
      if (fd >= 0) close(fd);
      entered.pop_back();
    }
    entered.emplace_back(child, current.size());
  }
  closeEntered();
  return true;
}

}  // namespace

bool ForceDirectories(const std::u16string& path, size_t followLinksUpTo) {
  const std::string native = posix::ToNativePath(path);
  if (native.empty()) {
    return Fail(ENOENT);
  }
  // Where links stop being followed, in the native path.
  const size_t followed =
      followLinksUpTo >= path.size() ? native.size() : posix::ToNativePath(path.substr(0, followLinksUpTo)).size();
  if (followed < native.size() && followed > 0) {
    // The chosen folder, links and all, made when it is missing; what lies below it is made
    // from its descriptor.
    std::string chosen = native.substr(0, followed);
    while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
    if (!posix::IsTrustedFolder(chosen) && !ForceDirectories(path.substr(0, followLinksUpTo))) return false;
    bool walked = false;
    const auto walk = [&](int rootFd) {
      walked = true;
      return ForceBeneath(rootFd, chosen, native, followed);
    };
    bool ok = posix::WithHeldRoot(chosen, walk);
    if (!walked && errno == ENOENT) {
      // Typed in another letter case than the folder has on disk.
      chosen = posix::ResolveExisting(path.substr(0, followLinksUpTo));
      while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
      ok = posix::WithHeldRoot(chosen, walk);
    }
    if (!walked) Fail(errno);  // the chosen folder could not be opened
    if (!posix::InListingScope()) posix::ReleaseHeldRoot();
    return ok;
  }
  // The folder of an earlier run, or one made beside another: one call settles it.
  struct stat st;
  if (stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return true;
  }
  // Walk the components, reusing an existing folder whose name differs only in case, as a
  // Windows file system would, and creating the rest. Links are followed: all of this path
  // was chosen.
  std::string current = native[0] == '/' ? "/" : "";
  size_t pos = 0;
  bool made = false;
  while (pos < native.size()) {
    size_t end = native.find('/', pos);
    if (end == std::string::npos) end = native.size();
    const std::string component = native.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    std::string next = Join(current, component);
    std::string match;
    if (made) {
      // Inside a folder just made, nothing is there yet.
      if (mkdir(next.c_str(), 0777) != 0) return Fail(errno);
      posix::NoteCreated(next);
    } else if (stat(next.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return Fail(ENOTDIR);
    } else if (component != "." && component != ".." && posix::FindFolded(current, component, match)) {
      next = Join(current, match);
      if (stat(next.c_str(), &st) != 0) return Fail(errno);
      if (!S_ISDIR(st.st_mode)) return Fail(ENOTDIR);
    } else if (mkdir(next.c_str(), 0777) == 0) {
      posix::NoteCreated(next);
      made = true;
    } else if (errno != EEXIST) {
      return Fail(errno);
    } else if (stat(next.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return Fail(ENOTDIR);  // made meanwhile, as something else
    }
    current = next;
  }
  return true;
}

DriveType GetDriveType(const std::u16string&) {
  return DriveType::Fixed;
}

int64_t DiskFreeSpace(const std::u16string& path) {
  std::string native = posix::ResolveExisting(path);
  if (native.empty()) native.assign(1, '.');
  for (;;) {
    struct statvfs vfs;
    if (statvfs(native.c_str(), &vfs) == 0) {
      return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    }
    if (errno != ENOENT && errno != ENOTDIR) {
      Fail(errno);
      return -1;
    }
    std::string folder, name;
    posix::SplitPath(native, folder, name);
    const std::string parent = folder.empty() ? "." : folder;
    if (parent == native) {
      Fail(ENOENT);
      return -1;
    }
    native = parent;
  }
}

std::u16string TempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string folder = env != nullptr && env[0] != '\0' ? env : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  std::u16string result = posix::FromNativePath(folder);
  if (result.empty() || result.back() != u'\\') {
    result.push_back(u'\\');
  }
  return result;
}

std::u16string CurrentFolder() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      Fail(errno);
      return std::u16string();
    }
    buffer.resize(buffer.size() * 2);
  }
  return posix::FromNativePath(buffer.data());
}

std::u16string ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
      Fail(errno);
      return std::u16string();
    }
    if (static_cast<size_t>(n) < buffer.size()) {
      return posix::FromNativePath(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }
    buffer.resize(buffer.size() * 2);  // possibly truncated: try again with more room
  }
}

}  // namespace qp::platform

// Engine paths to POSIX paths and back, and the case-insensitive name lookup that stands in
// for a Windows file system's behaviour (volume "data.Z01" found as "data.z01").
#include "platform/posix/path_mapping.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "platform/platform.h"

namespace qp::platform::posix {
namespace {

// Simple case folding for the scripts that file names of this kind use: ASCII, Latin-1,
// Latin Extended-A, basic Greek and Cyrillic. Lower-case is the folded form.
char16_t Fold(char16_t c) {
  if (c < 0x80) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  }
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return static_cast<char16_t>(c | 1);
  }
  if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c & 1)) {
    return static_cast<char16_t>(c + 1);
  }
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
  if (c == 0x3C2) return 0x3C3;  // final sigma
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  return c;
}

std::u16string FoldKey(std::string_view name) {
  std::u16string key = Utf8ToUtf16(name);
  for (char16_t& c : key) {
    c = Fold(c);
  }
  return key;
}

// A folder's names by folded key, so that looking up many missing names in one big folder
// (every destination of an extraction) does not rescan it each time. The listing is trusted
// only while the folder's identity and modification time are unchanged; a file system whose
// times have no sub-second part could hide a change, so such folders are never cached.
struct FolderCache {
  std::mutex mutex;
  bool valid = false;
  std::string folder;
  dev_t dev = 0;
  ino_t ino = 0;
  timespec mtime{};
  std::unordered_map<std::u16string, std::string> names;
};

FolderCache& Cache() {
  static FolderCache cache;
  return cache;
}

bool SameSnapshot(const FolderCache& cache, const struct stat& st) {
  return cache.valid && cache.dev == st.st_dev && cache.ino == st.st_ino &&
         cache.mtime.tv_sec == st.st_mtim.tv_sec && cache.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

void TakeSnapshot(FolderCache& cache, const struct stat& st) {
  cache.dev = st.st_dev;
  cache.ino = st.st_ino;
  cache.mtime = st.st_mtim;
  cache.valid = st.st_mtim.tv_nsec != 0;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

std::string Resolve(const std::string& path, bool foldLast, Lookup* lookup) {
  if (path.empty()) {
    return path;
  }
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    // For anything but a symbolic link, lstat and stat tell the same.
    if (lookup != nullptr && !S_ISLNK(st.st_mode)) {
      lookup->state = Lookup::Found;
      lookup->st = st;
    }
    return path;
  }
  const int error = errno;
  if (error != ENOENT && error != ENOTDIR) {
    return path;
  }
  std::string folder, name;
  SplitPath(path, folder, name);
  if (name.empty() || name == "." || name == "..") {
    return path;
  }
  Lookup folderLookup;
  const std::string resolvedFolder = folder.empty() ? folder : Resolve(folder, true, &folderLookup);
  std::string match;
  bool folded = false;
  if (foldLast) {
    // The folder's stat from resolving it doubles as the snapshot check of its listing.
    const struct stat* known =
        folderLookup.state == Lookup::Found && resolvedFolder == folder ? &folderLookup.st : nullptr;
    folded = FindFolded(resolvedFolder, name, match, known);
    if (folded) name = match;
  }
  std::string result = Join(resolvedFolder, name);
  // Nothing was substituted: this is the very path lstat just failed on, and stat would too.
  if (lookup != nullptr && !folded && result == path) {
    lookup->state = Lookup::Missing;
    lookup->error = error;
  }
  errno = ENOENT;
  return result;
}

}  // namespace

std::string ToNativePath(std::u16string_view path) {
  std::string native = Utf16ToUtf8(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::u16string FromNativePath(std::string_view native) {
  std::u16string path = Utf8ToUtf16(native);
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  return path;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  std::string s = path;
  while (s.size() > 1 && s.back() == '/') {
    s.pop_back();
  }
  const size_t slash = s.rfind('/');
  if (slash == std::string::npos) {
    folder.clear();
    name = s;
  } else {
    folder = s.substr(0, slash == 0 ? 1 : slash);
    name = s.substr(slash + 1);
  }
}

bool FindFolded(const std::string& folder, std::string_view name, std::string& match,
                const struct stat* known) {
  const std::string dir = folder.empty() ? std::string(".") : folder;
  struct stat st;
  if (known != nullptr) {
    st = *known;
  } else if (stat(dir.c_str(), &st) != 0) {
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    return false;
  }
  const std::u16string key = FoldKey(name);
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1 || cache.folder != dir || !SameSnapshot(cache, st)) {
      // The snapshot is taken before the scan, so a change during the scan shows next time.
      cache.valid = false;
      cache.names.clear();
      cache.folder = dir;
      DIR* d = opendir(dir.c_str());
      if (d == nullptr) {
        return false;
      }
      while (const dirent* entry = readdir(d)) {
        const std::string entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        auto [it, inserted] = cache.names.try_emplace(FoldKey(entryName), entryName);
        // Names that fold alike: take the smallest, so the choice does not depend on the order
        // in which the file system lists them.
        if (!inserted && entryName < it->second) it->second = entryName;
      }
      closedir(d);
      TakeSnapshot(cache, st);
    }
    const auto it = cache.names.find(key);
    if (it == cache.names.end()) {
      return false;
    }
    if (Exists(Join(folder, it->second))) {
      match = it->second;
      return true;
    }
    // Listed but gone: the listing was stale after all; scan once more.
  }
  return false;
}

// Adds our own new name and moves the snapshot to the folder's new time, so an extraction into
// one folder keeps its listing instead of rescanning after every file. A change by another
// process in the same instant would be missed; the lookup is a convenience, not a guarantee.
void NoteCreated(const std::string& path) {
  std::string folder, name;
  SplitPath(path, folder, name);
  const std::string dir = folder.empty() ? std::string(".") : folder;
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (!cache.valid || cache.folder != dir) return;
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) {
    cache.valid = false;
    return;
  }
  cache.names.try_emplace(FoldKey(name), name);
  TakeSnapshot(cache, st);
}

void NoteRemoved(const std::string& path) {
  std::string folder, name;
  SplitPath(path, folder, name);
  const std::string dir = folder.empty() ? std::string(".") : folder;
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  // Another name of the same fold may remain on disk; a fresh scan is the simple way to know.
  if (cache.folder == dir) cache.valid = false;
}

std::string ResolveExisting(std::u16string_view path) {
  return Resolve(ToNativePath(path), true, nullptr);
}

std::string ResolveExisting(std::u16string_view path, Lookup& lookup) {
  lookup = Lookup();
  return Resolve(ToNativePath(path), true, &lookup);
}

std::string ResolveForCreate(std::u16string_view path) {
  const std::string native = ToNativePath(path);
  if (Exists(native)) {
    return native;
  }
  std::string folder, name;
  SplitPath(native, folder, name);
  if (folder.empty() || name.empty()) {
    return native;
  }
  // A name that differs from an existing one only in letter case is that file, as on
  // Windows: creating or renaming onto it replaces it instead of adding a second file.
  const std::string resolvedFolder = Resolve(folder, true, nullptr);
  std::string match;
  if (FindFolded(resolvedFolder, name, match)) return Join(resolvedFolder, match);
  return Join(resolvedFolder, name);
}

}  // namespace qp::platform::posix

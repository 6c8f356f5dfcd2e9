// Engine paths to POSIX paths and back, and the case-insensitive name lookup that stands in
// for a Windows file system's behaviour (volume "data.Z01" found as "data.z01").
#include "platform/posix/path_mapping.h"

#include "platform/posix/beneath.h"

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

// Folders' names by folded key, so that looking up many missing names in the destination
// folders of an extraction does not rescan them each time. A listing is trusted only while
// the folder's identity and modification time are unchanged; a file system whose times have
// no sub-second part could hide a change, so such folders are never cached. Inside a
// FolderListingScope a listing, once checked, is trusted without asking the disk again.
struct ListedName {
  std::string name;
  bool shared = false;  // other names on disk fold to the same key
};

struct FolderListing {
  bool valid = false;    // the snapshot below tells whether the listing is current
  bool trusted = false;  // checked inside the scope: current without asking
  dev_t dev = 0;
  ino_t ino = 0;
  timespec mtime{};
  std::unordered_map<std::u16string, ListedName> names;
};

// Round-robin extraction into more folders than this rescans; one run rarely writes to so
// many folders at once.
constexpr size_t kMaxListedFolders = 256;

struct FolderCache {
  std::mutex mutex;
  int scopes = 0;
  std::unordered_map<std::string, FolderListing> folders;
};

FolderCache& Cache() {
  static FolderCache cache;
  return cache;
}

bool SameSnapshot(const FolderListing& listing, const struct stat& st) {
  return listing.valid && listing.dev == st.st_dev && listing.ino == st.st_ino &&
         listing.mtime.tv_sec == st.st_mtim.tv_sec && listing.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

void TakeSnapshot(FolderListing& listing, const struct stat& st) {
  listing.dev = st.st_dev;
  listing.ino = st.st_ino;
  listing.mtime = st.st_mtim;
  listing.valid = st.st_mtim.tv_nsec != 0;
}

// The listing of `dir`, scanned afresh; false when the folder cannot be read.
bool Scan(FolderCache& cache, const std::string& dir, const struct stat& st, FolderListing*& listing) {
  if (cache.folders.size() >= kMaxListedFolders && cache.folders.count(dir) == 0) cache.folders.clear();
  listing = &cache.folders[dir];
  listing->valid = false;
  listing->trusted = false;
  listing->names.clear();
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) {
    cache.folders.erase(dir);
    listing = nullptr;
    return false;
  }
  // The snapshot is taken before the scan, so a change during the scan shows next time.
  while (const dirent* entry = readdir(d)) {
    const std::string entryName = entry->d_name;
    if (entryName == "." || entryName == "..") continue;
    auto [it, inserted] = listing->names.try_emplace(FoldKey(entryName), ListedName{entryName});
    // Names that fold alike: take the smallest, so the choice does not depend on the order
    // in which the file system lists them.
    if (!inserted) {
      it->second.shared = true;
      if (entryName < it->second.name) it->second.name = entryName;
    }
  }
  closedir(d);
  TakeSnapshot(*listing, st);
  listing->trusted = cache.scopes > 0;
  return true;
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
  // A folder whose listing is trusted exists under this very name: no need to ask again.
  const bool trusted = foldLast && IsTrustedFolder(folder);
  const std::string resolvedFolder = folder.empty() || trusted ? folder : Resolve(folder, true, &folderLookup);
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
  const std::u16string key = FoldKey(name);
  FolderCache& cache = Cache();
  std::unique_lock<std::mutex> lock(cache.mutex);
  auto found = cache.folders.find(dir);
  FolderListing* listing = found != cache.folders.end() && found->second.trusted ? &found->second : nullptr;
  struct stat st {};
  if (listing == nullptr) {
    lock.unlock();
    if (known != nullptr) {
      st = *known;
    } else if (stat(dir.c_str(), &st) != 0) {
      return false;
    }
    if (!S_ISDIR(st.st_mode)) {
      return false;
    }
    lock.lock();
    found = cache.folders.find(dir);
    if (found != cache.folders.end() && SameSnapshot(found->second, st)) {
      listing = &found->second;
      listing->trusted = cache.scopes > 0;
    } else if (!Scan(cache, dir, st, listing)) {
      return false;
    }
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1) {
      // Listed but gone: the listing was stale after all; scan once more.
      if (stat(dir.c_str(), &st) != 0 || !Scan(cache, dir, st, listing)) return false;
    }
    const auto it = listing->names.find(key);
    if (it == listing->names.end()) {
      return false;
    }
    if (Exists(Join(folder, it->second.name))) {
      match = it->second.name;
      return true;
    }
  }
  return false;
}

bool IsTrustedFolder(const std::string& folder) {
  const std::string dir = folder.empty() ? std::string(".") : folder;
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  const auto found = cache.folders.find(dir);
  return found != cache.folders.end() && found->second.trusted;
}

// Adds our own new name, so an extraction into one folder keeps its listing instead of
// rescanning after every file. Outside a scope the snapshot moves to the folder's new time;
// a change by another process in the same instant would be missed there, and inside a scope
// any change by another process is: the lookup is a convenience, not a guarantee.
void NoteCreated(const std::string& path) {
  std::string folder, name;
  SplitPath(path, folder, name);
  const std::string dir = folder.empty() ? std::string(".") : folder;
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  const auto found = cache.folders.find(dir);
  if (found == cache.folders.end() || !(found->second.valid || found->second.trusted)) return;
  FolderListing& listing = found->second;
  if (!listing.trusted) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
      cache.folders.erase(found);
      return;
    }
    TakeSnapshot(listing, st);
  }
  auto [it, inserted] = listing.names.try_emplace(FoldKey(name), ListedName{name});
  if (!inserted && it->second.name != name) it->second.shared = true;
}

void NoteRemoved(const std::string& path) {
  std::string folder, name;
  SplitPath(path, folder, name);
  const std::string dir = folder.empty() ? std::string(".") : folder;
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  const auto found = cache.folders.find(dir);
  if (found == cache.folders.end()) return;
  FolderListing& listing = found->second;
  const auto it = listing.names.find(FoldKey(name));
  // The only name of its fold is gone. When another name of the same fold may remain on
  // disk, a fresh scan is the simple way to know which.
  if (listing.trusted && it != listing.names.end() && it->second.name == name && !it->second.shared) {
    listing.names.erase(it);
  } else {
    cache.folders.erase(found);
  }
}

void EnterListingScope() {
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  ++cache.scopes;
}

void LeaveListingScope() {
  {
    FolderCache& cache = Cache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (--cache.scopes > 0) return;
    // Our own changes moved the folders' times past their snapshots, so the next check outside
    // a scope rescans them.
    for (auto& [dir, listing] : cache.folders) listing.trusted = false;
  }
  // The run's destination is no longer held (outside the lock: the held folder's lock is
  // taken before this one while folders are made).
  ReleaseHeldRoot();
}

bool InListingScope() {
  FolderCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  return cache.scopes > 0;
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

namespace qp::platform {

FolderListingScope::FolderListingScope() {
  posix::EnterListingScope();
}

FolderListingScope::~FolderListingScope() {
  posix::LeaveListingScope();
}

}  // namespace qp::platform

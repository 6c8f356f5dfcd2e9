// Maps engine paths (UTF-16, '\' separators) to POSIX paths (UTF-8, '/') and back, and finds
// names the way a case-insensitive Windows file system would when the exact one is missing.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace qp::platform::posix {

// '\' becomes '/', UTF-16 becomes UTF-8. Nothing else is interpreted (no drive letters).
std::string ToNativePath(std::u16string_view path);
// The reverse: UTF-8 to UTF-16, '/' to '\'.
std::u16string FromNativePath(std::string_view native);

// The POSIX path of an existing file or folder: the exact name when it exists, otherwise every
// missing component is looked up case-insensitively in its folder. When nothing matches the
// mapped path comes back unchanged, so the caller's system call reports ENOENT.
std::string ResolveExisting(std::u16string_view path);

// What resolving learnt about the path it returned, so that a caller about to stat that same
// path need not ask the system a second time. Found: it exists and is no symbolic link, st is
// what stat gives. Missing: it does not exist, error is what stat reports. Unknown: ask.
struct Lookup {
  enum State { Unknown, Found, Missing };
  State state = Unknown;
  struct stat st {};
  int error = 0;
};
std::string ResolveExisting(std::u16string_view path, Lookup& lookup);
// The POSIX path for a name about to be created: the folders are resolved as above; the last
// component is the existing file whose name differs only in letter case when there is one,
// otherwise it is kept exactly as given.
std::string ResolveForCreate(std::u16string_view path);

// Case-insensitive lookup of name inside folder ("" for the current folder). Writes the
// name as it is on disk into match.
// `known`, when given, is a stat of folder just taken by the caller.
bool FindFolded(const std::string& folder, std::string_view name, std::string& match,
                const struct stat* known = nullptr);

// Whether `folder` has a listing checked inside a FolderListingScope (so it exists under this
// very name and FindFolded answers without asking the disk).
bool IsTrustedFolder(const std::string& folder);
// The FolderListingScope's count, kept with the cache.
void EnterListingScope();
void LeaveListingScope();
bool InListingScope();

// Keep the lookup cache in step with changes this process makes itself.
void NoteCreated(const std::string& path);
void NoteRemoved(const std::string& path);

// Folder and last component of a POSIX path ("" as folder for a bare name).
void SplitPath(const std::string& path, std::string& folder, std::string& name);

}  // namespace qp::platform::posix

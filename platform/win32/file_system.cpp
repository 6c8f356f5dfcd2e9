// Files and folders by name on Win32: existence, deletion, renaming, attributes and times,
// folder trees, drive type and free space, and the well-known folders.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/dos_time_range.h"
#include "platform/platform.h"
#include "platform/win32/api_path.h"
#include "platform/win32/wide.h"

namespace qp::platform {
namespace {

// Our own record of the last failure, so that calls made while cleaning up (or by the C++
// runtime) cannot overwrite what the caller asks for.
thread_local int tLastError = 0;

bool Fail() {
  tLastError = static_cast<int>(GetLastError());
  return false;
}

bool Fail(DWORD error) {
  tLastError = static_cast<int>(error);
  return false;
}

bool IsSeparator(char16_t c) {
  return c == u'\\' || c == u'/';
}

// The parent folder of a path, or "" when there is none above it (a root, a bare name).
std::u16string Parent(const std::u16string& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

// "C:\", "\\server\share\", or "" for a relative path (the current drive then).
std::u16string RootOf(const std::u16string& path) {
  if (path.size() >= 2 && path[1] == u':') {
    return path.substr(0, 2) + u"\\";
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    int separators = 0;
    for (size_t i = 2; i < path.size(); ++i) {
      if (IsSeparator(path[i]) && ++separators == 2) return path.substr(0, i + 1);
    }
    return path + u"\\";
  }
  return std::u16string();
}

bool LocalTimeLimits(FILETIME& low, FILETIME& high) {
  SYSTEMTIME first{};
  first.wYear = 1980;
  first.wMonth = 1;
  first.wDay = 1;
  SYSTEMTIME last{};
  last.wYear = 2107;
  last.wMonth = 12;
  last.wDay = 31;
  last.wHour = 23;
  last.wMinute = 59;
  last.wSecond = 59;
  last.wMilliseconds = 999;
  return SystemTimeToFileTime(&first, &low) && SystemTimeToFileTime(&last, &high);
}

uint64_t Ticks(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}


}  // namespace

int LastSystemError() {
  return tLastError;
}

bool FileExists(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(win32::Wide(win32::ApiPath(path)));
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail();
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || Fail(ERROR_FILE_NOT_FOUND);
}

bool DirectoryExists(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(win32::Wide(win32::ApiPath(path)));
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail();
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || Fail(ERROR_DIRECTORY);
}

bool DeleteFile(const std::u16string& path) {
  return DeleteFileW(win32::Wide(win32::ApiPath(path))) || Fail();
}

bool MoveFileReplace(const std::u16string& from, const std::u16string& to) {
  return MoveFileExW(win32::Wide(win32::ApiPath(from)), win32::Wide(win32::ApiPath(to)),
                     MOVEFILE_REPLACE_EXISTING) || Fail();
}

uint32_t GetFileAttributes(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(win32::Wide(win32::ApiPath(path)));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    Fail();
    return kInvalidAttributes;
  }
  // Only the DOS bits: NORMAL, NOT_CONTENT_INDEXED and the like mean nothing to the engine.
  return attributes & (faReadOnly | faHidden | faSysFile | faVolumeId | faDirectory | faArchive);
}

bool SetFileAttributes(const std::u16string& path, uint32_t attributes) {
  // Only the DOS bits go through; a stray high bit would make the call fail.
  const DWORD dos = attributes & (faReadOnly | faHidden | faSysFile | faArchive);
  return SetFileAttributesW(win32::Wide(win32::ApiPath(path)), dos == 0 ? FILE_ATTRIBUTE_NORMAL : dos) || Fail();
}

int64_t FileDosDateTime(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(win32::Wide(win32::ApiPath(path)), GetFileExInfoStandard, &data)) {
    Fail();
    return -1;
  }
  // Local time by the rules of the file's own date, as the DOS times of items are read, so
  // that the newer/older comparison does not shift by an hour across summer time.
  SYSTEMTIME universal, localSystem;
  FILETIME local;
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &universal) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &localSystem) ||
      !SystemTimeToFileTime(&localSystem, &local)) {
    Fail();
    return -1;
  }
  // FileTimeToDosDateTime refuses what the DOS fields cannot hold; clamp instead, so a file
  // from 1970 still gets a time.
  FILETIME low, high;
  if (LocalTimeLimits(low, high)) {
    if (Ticks(local) < Ticks(low)) return kDosDateTimeMin;
    if (Ticks(local) > Ticks(high)) return kDosDateTimeMax;
  }
  WORD date = 0, time = 0;
  if (!FileTimeToDosDateTime(&local, &date, &time)) {
    Fail();
    return -1;
  }
  return static_cast<int64_t>((static_cast<uint32_t>(date) << 16) | time);
}

bool ForceDirectories(const std::u16string& path, size_t followLinksUpTo) {
  // One pass from the root over the components with one buffer for the folder in hand: time
  // and memory follow the path's length, however many levels it has.
  size_t length = path.size();
  while (length > 0 && IsSeparator(path[length - 1])) --length;
  if (length == 0) return Fail(ERROR_PATH_NOT_FOUND);
  // No call takes a longer path; refusing it first saves thousands of calls that would fail.
  constexpr size_t kLongestPath = 32767;
  if (length > kLongestPath) return Fail(ERROR_FILENAME_EXCED_RANGE);
  const size_t rootEnd = std::min(RootOf(path).size(), length);
  std::u16string folder;
  folder.reserve(length);
  bool creating = false;  // once a folder was missing, every deeper one is too
  for (size_t end = rootEnd; end <= length; ++end) {
    if (end < length && !IsSeparator(path[end])) continue;
    if (end == rootEnd || IsSeparator(path[end - 1])) continue;  // the root, or doubled separators
    folder.assign(path, 0, end);
    if (!creating) {
      const DWORD attributes = GetFileAttributesW(win32::Wide(win32::ApiPath(folder)));
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // A junction or symbolic link below the chosen folder is not entered: it was not made
        // here, and it could lead anywhere.
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && end > followLinksUpTo)
          return Fail(ERROR_CANT_RESOLVE_FILENAME);
        continue;
      }
    }
    if (CreateDirectoryW(win32::Wide(win32::ApiPath(folder)), nullptr)) {
      creating = true;
      continue;
    }
    const DWORD error = GetLastError();
    // Someone else may have made it meanwhile; a file of that name is still a failure.
    if (error == ERROR_ALREADY_EXISTS && DirectoryExists(folder)) continue;
    return Fail(error);
  }
  return true;
}

DriveType GetDriveType(const std::u16string& path) {
  const std::u16string root = RootOf(path);
  switch (GetDriveTypeW(root.empty() ? nullptr : win32::Wide(root))) {
    case DRIVE_NO_ROOT_DIR: return DriveType::NoRootDir;
    case DRIVE_REMOVABLE: return DriveType::Removable;
    case DRIVE_FIXED: return DriveType::Fixed;
    case DRIVE_REMOTE: return DriveType::Remote;
    case DRIVE_CDROM: return DriveType::CdRom;
    case DRIVE_RAMDISK: return DriveType::RamDisk;
    default: return DriveType::Unknown;
  }
}

int64_t DiskFreeSpace(const std::u16string& path) {
  // The call wants an existing folder; a destination that is yet to be made is measured at
  // its nearest existing parent.
  for (std::u16string folder = path; !folder.empty(); folder = Parent(folder)) {
    ULARGE_INTEGER available;
    std::u16string query = folder;
    if (!IsSeparator(query.back())) query.push_back(u'\\');
    if (GetDiskFreeSpaceExW(win32::Wide(win32::ApiPath(query)), &available, nullptr, nullptr)) {
      return static_cast<int64_t>(available.QuadPart);
    }
    Fail();
  }
  return -1;
}

std::u16string TempFolder() {
  // Only the wide query gives every folder as it is: the ANSI one gives a best-fit look-alike
  // (no '?' to tell) of a name the code page cannot spell, and stops at 255 characters.
  std::vector<wchar_t> wide(MAX_PATH + 1);
  DWORD n = GetTempPathW(static_cast<DWORD>(wide.size()), wide.data());
  if (n >= wide.size()) {
    wide.resize(n + 1);
    n = GetTempPathW(static_cast<DWORD>(wide.size()), wide.data());
  }
  if (n == 0 || n >= wide.size()) {
    Fail();
    return std::u16string();
  }
  std::u16string result = win32::FromWide(wide.data(), n);
  if (result.back() != u'\\') result.push_back(u'\\');
  return result;
}

std::u16string CurrentFolder() {
  for (DWORD size = MAX_PATH + 1;;) {
    std::vector<wchar_t> buffer(size);
    const DWORD n = GetCurrentDirectoryW(size, buffer.data());
    if (n == 0) {
      Fail();
      return std::u16string();
    }
    if (n < size) return win32::FromWide(buffer.data(), n);
    size = n + 1;  // the folder changed or grew between the two calls: ask again
  }
}

std::u16string ExecutablePath() {
  for (DWORD size = MAX_PATH + 1; size <= 65536; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) {
      Fail();
      return std::u16string();
    }
    if (n < size) return win32::FromWide(buffer.data(), n);  // n == size: truncated
  }
  Fail(ERROR_INSUFFICIENT_BUFFER);
  return std::u16string();
}

// The file system folds case itself: there is no listing to trust.
FolderListingScope::FolderListingScope() = default;
FolderListingScope::~FolderListingScope() = default;

}  // namespace qp::platform

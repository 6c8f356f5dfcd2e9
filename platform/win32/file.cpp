// File on Win32: a handle from CreateFileW, with the engine's access and share flags turned
// into the API's, and last-write times set from DOS values taken as local time.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/api_path.h"
#include "platform/win32/wide.h"

namespace qp::platform {
namespace {

// ReadFile and WriteFile take a DWORD count; large requests go in pieces.
constexpr size_t kMaxChunk = size_t{1} << 30;

HANDLE AsHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// DosDateTimeToFileTime lets some impossible values through (31 February, for one); refuse
// them here so that every platform rejects the same values.
bool ValidDosDateTime(uint32_t value) {
  const unsigned date = value >> 16;
  const unsigned time = value & 0xFFFF;
  const int year = 1980 + static_cast<int>(date >> 9);
  const int month = static_cast<int>((date >> 5) & 15);
  const int day = static_cast<int>(date & 31);
  return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) &&
         (time >> 11) <= 23 && ((time >> 5) & 63) <= 59 && (time & 31) <= 29;
}

// Windows refuses write access to a read-only file by itself. Wine run by a privileged user
// does not (the POSIX permissions it maps the attribute to do not bind root), so say no here
// as well, to behave the same wherever the program runs.
bool RefuseReadOnly(const std::u16string& path, int& lastError, bool refuseLink = false) {
  const DWORD attributes = GetFileAttributesW(win32::Wide(win32::ApiPath(path)));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    lastError = ERROR_ACCESS_DENIED;
    return true;
  }
  // Truncating a symbolic link would write its target, wherever that is; the engine replaces
  // a link by renaming a new file onto it instead. A name that is taken (the exclusive create
  // before failed) but has no attributes is a link whose target is missing, as some systems
  // show one: creating it would make that target.
  if (refuseLink && (attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() == ERROR_FILE_NOT_FOUND
                                                            : (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    lastError = ERROR_CANT_RESOLVE_FILENAME;
    return true;
  }
  return false;
}

// A DOS date and time (local) as UTC, for a file that is open.
bool UtcFromDos(bool open, uint32_t dosDateTime, FILETIME& utc, int& lastError) {
  if (!open) {
    lastError = ERROR_INVALID_HANDLE;
    return false;
  }
  if (!ValidDosDateTime(dosDateTime)) {
    lastError = ERROR_INVALID_PARAMETER;
    return false;
  }
  // A DOS time is local time of its own date: the zone's rules for that date decide the
  // offset. LocalFileTimeToFileTime would apply today's offset instead, so a summer date
  // extracted in winter would come out an hour off.
  FILETIME localFile;
  SYSTEMTIME local, universal;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime & 0xFFFF), &localFile) ||
      !FileTimeToSystemTime(&localFile, &local) ||
      !TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) ||
      !SystemTimeToFileTime(&universal, &utc)) {
    lastError = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

// Sets the times `info` holds (zero ones stay) and the DOS bits of `attributes`; none at all
// is spelt FILE_ATTRIBUTE_NORMAL, as for SetFileAttributesW.
bool SetBasicInfo(HANDLE handle, FILE_BASIC_INFO& info, uint32_t attributes, int& lastError) {
  const DWORD dos = attributes & (faReadOnly | faHidden | faSysFile | faArchive);
  info.FileAttributes = dos == 0 ? FILE_ATTRIBUTE_NORMAL : dos;
  if (!SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info)) {
    lastError = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

}  // namespace

bool File::Open(const std::u16string& path, uint16_t mode) {
  Close();
  DWORD access = 0;
  switch (mode & 0x0F) {
    case fmOpenRead: access = GENERIC_READ; break;
    case fmOpenWrite: access = GENERIC_WRITE; break;
    case fmOpenReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: lastError_ = ERROR_INVALID_PARAMETER; return false;
  }
  DWORD share = 0;
  switch (mode & 0xF0) {
    case fmShareExclusive: share = 0; break;
    case fmShareDenyWrite: share = FILE_SHARE_READ; break;
    case fmShareDenyRead: share = FILE_SHARE_WRITE; break;
    case fmShareCompat:
    case fmShareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: lastError_ = ERROR_INVALID_PARAMETER; return false;
  }
  if ((mode & 0xFF00) != 0) {
    lastError_ = ERROR_INVALID_PARAMETER;
    return false;
  }
  if ((access & GENERIC_WRITE) != 0 && RefuseReadOnly(path, lastError_)) {
    return false;
  }
  return Adopt(CreateFileW(win32::Wide(win32::ApiPath(path)), access, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool File::Create(const std::u16string& path) {
  // The common case of an extraction is a new name: a create that fails when the name exists
  // settles it in one call, and only an existing file needs the read-only check.
  if (CreateNew(path)) return true;
  if (lastError_ != ERROR_FILE_EXISTS && lastError_ != ERROR_ALREADY_EXISTS) return false;
  if (RefuseReadOnly(path, lastError_, true)) {
    return false;
  }
  return Adopt(CreateFileW(win32::Wide(win32::ApiPath(path)), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool File::CreateNew(const std::u16string& path) {
  Close();
  // Not through a reparse point: a symbolic link of this name, even one whose target is
  // missing, is a name that is taken, not a way to create its target.
  return Adopt(CreateFileW(win32::Wide(win32::ApiPath(path)), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool File::Adopt(void* handle) {
  if (handle == INVALID_HANDLE_VALUE) {
    lastError_ = static_cast<int>(GetLastError());
    return false;
  }
  // A name like "COM1" or "nul.txt" opens a device, not a file: a file's bytes must never
  // go to a port or a console, whatever name reached this layer.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    lastError_ = ERROR_INVALID_NAME;
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  lastError_ = 0;
  return true;
}

void File::Close() {
  if (IsOpen()) {
    CloseHandle(AsHandle(handle_));
    handle_ = -1;
  }
}

bool File::IsOpen() const {
  return handle_ != -1;
}

int64_t File::Read(void* buffer, size_t count) {
  if (!IsOpen()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return -1;
  }
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(count - done < kMaxChunk ? count - done : kMaxChunk);
    DWORD n = 0;
    if (!ReadFile(AsHandle(handle_), out + done, chunk, &n, nullptr)) {
      lastError_ = static_cast<int>(GetLastError());
      return done > 0 ? static_cast<int64_t>(done) : -1;
    }
    if (n == 0) break;
    done += n;
  }
  return static_cast<int64_t>(done);
}

int64_t File::Write(const void* buffer, size_t count) {
  if (!IsOpen()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return -1;
  }
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(count - done < kMaxChunk ? count - done : kMaxChunk);
    DWORD n = 0;
    const BOOL ok = WriteFile(AsHandle(handle_), in + done, chunk, &n, nullptr);
    done += n;
    if (!ok) {
      const DWORD error = GetLastError();
      lastError_ = static_cast<int>(error);
      // A full medium is a short count (possibly 0); what was written stays counted.
      if (IsDiskFullError(static_cast<int>(error)) || done > 0) {
        return static_cast<int64_t>(done);
      }
      return -1;
    }
    if (n == 0) {
      lastError_ = ERROR_DISK_FULL;
      break;
    }
  }
  return static_cast<int64_t>(done);
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
  if (!IsOpen()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return -1;
  }
  const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                       : origin == SeekOrigin::Current ? FILE_CURRENT
                                                       : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(AsHandle(handle_), distance, &position, method)) {
    lastError_ = static_cast<int>(GetLastError());
    return -1;
  }
  return position.QuadPart;
}

int64_t File::Size() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_), &size)) {
    lastError_ = IsOpen() ? static_cast<int>(GetLastError()) : ERROR_INVALID_HANDLE;
    return -1;
  }
  return size.QuadPart;
}

bool File::Flush() {
  if (!IsOpen() || !FlushFileBuffers(AsHandle(handle_))) {
    lastError_ = IsOpen() ? static_cast<int>(GetLastError()) : ERROR_INVALID_HANDLE;
    return false;
  }
  return true;
}

bool File::SetDosDateTime(uint32_t dosDateTime) {
  FILETIME utc;
  if (!UtcFromDos(IsOpen(), dosDateTime, utc, lastError_)) return false;
  if (!SetFileTime(AsHandle(handle_), nullptr, nullptr, &utc)) {
    lastError_ = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool File::SetAttributes(uint32_t attributes) {
  if (!IsOpen()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return false;
  }
  // Zero times leave the times as they are.
  FILE_BASIC_INFO info{};
  return SetBasicInfo(AsHandle(handle_), info, attributes, lastError_);
}

bool File::SetDosDateTimeAndAttributes(uint32_t dosDateTime, uint32_t attributes) {
  FILETIME utc;
  if (!UtcFromDos(IsOpen(), dosDateTime, utc, lastError_)) return false;
  FILE_BASIC_INFO info{};
  info.LastWriteTime.LowPart = utc.dwLowDateTime;
  info.LastWriteTime.HighPart = static_cast<LONG>(utc.dwHighDateTime);
  return SetBasicInfo(AsHandle(handle_), info, attributes, lastError_);
}

}  // namespace qp::platform

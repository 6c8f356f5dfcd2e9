// What the operating system provides to the engine: files, folders, attributes and times,
// drive types, code-page conversion and the high-resolution counter. One header; the POSIX
// implementation lives in platform/posix, the Win32 one in platform/win32.
//
// Paths are UTF-16 with '\' as the separator, as the engine builds them. The POSIX layer maps
// '\' to '/' and, when an exact name is not found, falls back to a case-insensitive match in
// the same folder, as a Windows file system would. Paths handed back (TempFolder,
// CurrentFolder, ExecutablePath) are in the same engine form: on POSIX, '/' comes back as
// '\' ("/tmp" is returned as "\tmp\"), so they round-trip through the mapping unchanged.
// A POSIX name that itself contains '\' cannot be expressed in engine form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// <windows.h> defines these names as macros for its A/W functions, which would rename ours.
// Include this header after <windows.h> where both are needed.
#ifdef _WIN32
#undef DeleteFile
#undef GetFileAttributes
#undef SetFileAttributes
#undef GetDriveType
#undef OemToAnsi
#endif

namespace qp::platform {

// Open flags, combined: the access in the low nibble, the share mode in the high one.
// These are the values the component's open modes are made of (0x22, 0x40).
enum : uint16_t {
  fmOpenRead = 0x00,
  fmOpenWrite = 0x01,
  fmOpenReadWrite = 0x02,
  fmShareCompat = 0x00,
  fmShareExclusive = 0x10,
  fmShareDenyWrite = 0x20,
  fmShareDenyRead = 0x30,
  fmShareDenyNone = 0x40,
};

// MS-DOS attribute bits as stored in the low byte of the external attributes.
enum : uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeId = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
};
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

enum class SeekOrigin { Begin, Current, End };

enum class DriveType { Unknown, NoRootDir, Removable, Fixed, Remote, CdRom, RamDisk };

// An open file. Not copyable; closes on destruction. Every operation reports failure through
// its result (false or -1) and leaves the OS error code in LastError().
class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  // Opens an existing file with the combined access and share flags above. Write access to a
  // read-only file fails, as it does on Windows, even for a privileged POSIX user. Folders
  // cannot be opened. POSIX has no share modes: they are checked for validity and accepted.
  bool Open(const std::u16string& path, uint16_t mode);
  // Creates the file (truncating an existing one) for reading and writing. Fails on a
  // read-only file.
  bool Create(const std::u16string& path);
  // Creates the file for reading and writing only when no file answers to the name (letter
  // case aside where names are case-insensitive); fails otherwise. On Windows that is a single
  // call, where asking first and then creating would be two.
  bool CreateNew(const std::u16string& path);
  void Close();
  bool IsOpen() const;

  // Returns the bytes read, fewer than count only at the end of the file (0 there), or -1.
  int64_t Read(void* buffer, size_t count);
  // Returns the bytes written, which is less than count when the medium is full, or -1.
  int64_t Write(const void* buffer, size_t count);
  // Returns the new position, or -1.
  int64_t Seek(int64_t offset, SeekOrigin origin);
  int64_t Size();
  bool Flush();
  // Sets the last-write time from a DOS date (high 16 bits) and time (low 16 bits), local time.
  // An impossible date or time (month 13, 31 February, 24:00) fails.
  bool SetDosDateTime(uint32_t dosDateTime);
  // Sets the DOS attributes (read-only, hidden, system, archive; the other bits are ignored)
  // through the open handle, as SetFileAttributes does by name, without looking the name up
  // again. A read-only file still takes writes through this handle until it is closed.
  bool SetAttributes(uint32_t attributes);
  // Both of the above; on Windows in one call.
  bool SetDosDateTimeAndAttributes(uint32_t dosDateTime, uint32_t attributes);

  int LastError() const { return lastError_; }

 private:
  friend class PositionalReader;
#ifdef _WIN32
  // Takes over a handle CreateFileW returned; refuses anything that is not a disk file.
  bool Adopt(void* handle);
#endif
  intptr_t handle_ = -1;
  int lastError_ = 0;
  bool writable_ = false;  // opened for writing: clearing read-only has nothing to do
};

// Reads of a file at given offsets, from any number of threads at once, that never move the
// position of the File it was opened from (whose owner goes on reading and seeking as before).
// On POSIX it holds a duplicate of the descriptor and reads with pread; on Windows, where a
// positional ReadFile on a synchronous handle moves that handle's position, it opens the file
// again by name and makes sure it is the same file. Not copyable; closes on destruction.
class PositionalReader {
 public:
  PositionalReader() = default;
  ~PositionalReader();
  PositionalReader(const PositionalReader&) = delete;
  PositionalReader& operator=(const PositionalReader&) = delete;

  // `path` names `file` (Windows opens it again; POSIX needs only the descriptor). False when
  // the file cannot be read this way (for one, Windows refuses a second handle because the
  // first one was opened without sharing); the caller then reads through `file` alone.
  bool Open(const File& file, const std::u16string& path);
  void Close();
  bool IsOpen() const { return handle_ != -1; }
  // Reads up to `count` bytes at `offset`: the bytes read, fewer only at the end of the file
  // (0 there), or -1 with the system's error code in `error`.
  int64_t ReadAt(uint64_t offset, void* buffer, size_t count, int& error) const;

 private:
  intptr_t handle_ = -1;
};

// The free functions below leave the OS error code of a failure (errno, GetLastError) where
// LastSystemError() finds it, on the calling thread, until the next platform call.
int LastSystemError();
// The system's own description of an error code from LastSystemError() or File::LastError(),
// without a trailing period or line break; empty for 0.
std::u16string SystemErrorText(int error);
// True when the error code means a full medium or quota rather than a failure of the write.
bool IsDiskFullError(int error);

// True for an existing file; false for a folder or nothing.
bool FileExists(const std::u16string& path);
bool DirectoryExists(const std::u16string& path);
// Deletes a file; fails on a folder and, as on Windows, on a read-only file.
bool DeleteFile(const std::u16string& path);
// Renames, replacing an existing destination.
bool MoveFileReplace(const std::u16string& from, const std::u16string& to);
// DOS attributes of a file or folder, or kInvalidAttributes.
uint32_t GetFileAttributes(const std::u16string& path);
bool SetFileAttributes(const std::u16string& path, uint32_t attributes);
// Last-write time of a file or folder as a DOS date and time (local time), or -1 when there is
// none. Times before 1980 give 1980-01-01 00:00:00, times after 2107 give 2107-12-31 23:59:58.
int64_t FileDosDateTime(const std::u16string& path);
// Creates the folder and every missing parent. Symbolic links (on Windows: reparse points)
// are followed only within the first `followLinksUpTo` characters (the folder the person
// chose); an existing link further down fails the call instead of being entered.
bool ForceDirectories(const std::u16string& path, size_t followLinksUpTo = static_cast<size_t>(-1));

// While one of these lives, the POSIX layer checks a folder's listing for its case-insensitive
// lookup once and then trusts it, kept up to date with the files this process creates and
// removes itself: an extraction run pays one check per folder instead of one per file. A
// name that another process adds meanwhile, differing only in letter case from one being
// extracted, is then not seen. Nothing changes on Windows, whose file system folds case.
class FolderListingScope {
 public:
  FolderListingScope();
  ~FolderListingScope();
  FolderListingScope(const FolderListingScope&) = delete;
  FolderListingScope& operator=(const FolderListingScope&) = delete;
};

// The type of the drive that holds path (its root); every drive is Fixed on POSIX.
DriveType GetDriveType(const std::u16string& path);
// Free bytes (for the caller) on the drive that holds path, or -1. A path that does not exist
// yet is measured at its nearest existing parent.
int64_t DiskFreeSpace(const std::u16string& path);
// The user's temporary folder, ending with '\'. On POSIX $TMPDIR or /tmp.
std::u16string TempFolder();
// The current folder, without a trailing separator (except for a root).
std::u16string CurrentFolder();
// Full path of the running program.
std::u16string ExecutablePath();

// Code pages. The OEM and ANSI code pages are the system's on Windows; on POSIX they are
// 437 and 1252. None of these fail: bytes without a mapping become their nearest equivalent
// or '?', as Windows gives them. OemToAnsi gives one byte per byte. Invalid UTF-8 and lone
// surrogates become U+FFFD.
std::string OemToAnsi(std::string_view oem);
std::u16string AnsiToUtf16(std::string_view ansi);
// The reverse, one byte per UTF-16 unit: characters the ANSI code page lacks become the
// system's best fit on Windows and '?' on POSIX (a surrogate pair gives "??" on both).
std::string Utf16ToAnsi(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

// The high-resolution performance counter: nanoseconds on POSIX, the performance counter's
// ticks on Windows. Monotonic; for seeding and measuring, not for wall-clock time.
int64_t HighResCounter();

}  // namespace qp::platform

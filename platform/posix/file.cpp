// File on POSIX: a file descriptor with the Windows open semantics the engine relies on
// (share modes accepted, read-only files refuse write access, folders cannot be opened).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/posix/attribute_mode.h"
#include "platform/posix/beneath.h"
#include "platform/posix/path_mapping.h"

namespace qp::platform {
namespace {

// Large requests go in pieces the kernel takes in one call.
constexpr size_t kMaxChunk = size_t{1} << 30;

bool ValidShareMode(uint16_t share) {
  return share == fmShareCompat || share == fmShareExclusive || share == fmShareDenyWrite ||
         share == fmShareDenyRead || share == fmShareDenyNone;
}

// The read-only attribute is the owner's write bit. Windows refuses write access to a
// read-only file even to an administrator; checking the bit ourselves gives root the same.
bool IsReadOnly(const struct stat& st) {
  return (st.st_mode & S_IWUSR) == 0;
}

// Whether the process's umask takes the owner's write bit from new files. Read once, from
// /proc where it can be read without changing it; elsewhere by setting and restoring it,
// which is safe here because the engine creates files on one thread.
bool UmaskDeniesOwnerWrite() {
  static const bool denies = [] {
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
      char line[256];
      unsigned mask = 0;
      bool found = false;
      while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
      std::fclose(status);
      if (found) return (mask & S_IWUSR) != 0;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return (mask & S_IWUSR) != 0;
  }();
  return denies;
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// The zone is read once and again only when TZ changes: mktime reads it on every call (a stat
// of /etc/localtime per file on most systems), which an extraction of many small files feels.
void KeepZoneCurrent() {
  static std::mutex mutex;
  static bool loaded = false;
  static std::string lastTz;
  std::lock_guard<std::mutex> lock(mutex);
  const char* env = std::getenv("TZ");
  const std::string tz = env != nullptr ? std::string(1, '=') + env : std::string();
  if (!loaded || tz != lastTz) {
    tzset();
    lastTz = tz;
    loaded = true;
  }
}

bool SameLocal(const struct tm& a, const struct tm& b) {
  return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
         a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

// mktime with tm_isdst -1. A local time that exists exactly once (all but the hours around a
// change of summer time) is found with localtime_r, which does not re-read the zone; a time in
// a gap or an overlap is left to mktime so that its choice stays the one made.
time_t LocalToTime(struct tm& local) {
  KeepZoneCurrent();
  struct tm utc = local;
  const time_t guess = timegm(&utc);  // the local fields read as if they were UTC
  if (guess != static_cast<time_t>(-1)) {
    constexpr time_t kDay = 24 * 60 * 60;
    long offsets[3];
    int offsetCount = 0;
    bool usable = true;
    for (const time_t probe : {guess - kDay, guess, guess + kDay}) {
      struct tm at {};
      if (localtime_r(&probe, &at) == nullptr) {
        usable = false;
        break;
      }
      bool seen = false;
      for (int i = 0; i < offsetCount; ++i) seen = seen || offsets[i] == at.tm_gmtoff;
      if (!seen) offsets[offsetCount++] = at.tm_gmtoff;
    }
    int matches = 0;
    time_t found = 0;
    struct tm foundTm {};
    for (int i = 0; usable && i < offsetCount; ++i) {
      const time_t candidate = guess - offsets[i];
      struct tm at {};
      if (localtime_r(&candidate, &at) == nullptr) {
        usable = false;
      } else if (at.tm_gmtoff == offsets[i] && SameLocal(at, local)) {
        ++matches;
        found = candidate;
        foundTm = at;
      }
    }
    if (usable && matches == 1) {
      local = foundTm;
      return found;
    }
  }
  return mktime(&local);
}

}  // namespace

bool File::Open(const std::u16string& path, uint16_t mode) {
  Close();
  const uint16_t access = mode & 0x0F;
  const uint16_t share = mode & 0xF0;
  if (access > fmOpenReadWrite || !ValidShareMode(share) || (mode & 0xFF00) != 0) {
    lastError_ = EINVAL;
    return false;
  }
  const int flags = access == fmOpenRead ? O_RDONLY : access == fmOpenWrite ? O_WRONLY : O_RDWR;
  const std::string native = posix::ResolveExisting(path);
  const int fd = ::open(native.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  struct stat st;
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (access != fmOpenRead && IsReadOnly(st)) {
    error = EACCES;
  }
  if (error != 0) {
    ::close(fd);
    lastError_ = error;
    return false;
  }
  handle_ = fd;
  writable_ = access != fmOpenRead;
  lastError_ = 0;
  return true;
}

bool File::CreateNew(const std::u16string& path) {
  Close();
  // Create's first attempt is an exclusive create of the exact name; the lookup before it
  // finds a file whose name differs only in letter case, which that would miss.
  if (FileExists(path)) {
    lastError_ = EEXIST;
    return false;
  }
  return Create(path);
}

bool File::Create(const std::u16string& path) {
  Close();
  // The common case of an extraction is a new name in an existing folder: one exclusive
  // create settles it, with no lookups and nothing to truncate. Any failure (the name exists,
  // a folder needs its case-insensitive match, ...) takes the general way below.
  {
    const std::string exact = posix::ToNativePath(path);
    const int fd = exact.empty() ? -1 : posix::OpenBeneathHeldRoot(exact, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // A umask without the owner's write bit makes even a new file read-only.
      if (UmaskDeniesOwnerWrite()) {
        ::close(fd);
        ::unlink(exact.c_str());
        lastError_ = EACCES;
        return false;
      }
      posix::NoteCreated(exact);
      handle_ = fd;
      writable_ = true;
      lastError_ = 0;
      return true;
    }
  }
  const std::string native = posix::ResolveForCreate(path);
  // Not O_TRUNC: a read-only file must be refused before anything of it is lost. Not through
  // a symbolic link either: one planted in the destination would send the data elsewhere.
  // Below the destination of a run, no folder on the way is entered through a link either,
  // even one swapped in after the folders were made.
  const int fd = posix::OpenBeneathHeldRoot(native, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  struct stat st;
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (IsReadOnly(st)) {
    error = EACCES;
  } else if (ftruncate(fd, 0) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::close(fd);
    lastError_ = error;
    return false;
  }
  posix::NoteCreated(native);
  handle_ = fd;
  writable_ = true;
  lastError_ = 0;
  return true;
}

void File::Close() {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
}

bool File::IsOpen() const {
  return handle_ >= 0;
}

int64_t File::Read(void* buffer, size_t count) {
  if (handle_ < 0) {
    lastError_ = EBADF;
    return -1;
  }
  // The engine treats a short read as the end of the file, so keep reading until the request
  // is filled or the file really ends.
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const size_t chunk = count - done < kMaxChunk ? count - done : kMaxChunk;
    const ssize_t n = ::read(static_cast<int>(handle_), out + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      return done > 0 ? static_cast<int64_t>(done) : -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::Write(const void* buffer, size_t count) {
  if (handle_ < 0) {
    lastError_ = EBADF;
    return -1;
  }
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const size_t chunk = count - done < kMaxChunk ? count - done : kMaxChunk;
    const ssize_t n = ::write(static_cast<int>(handle_), in + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      // A full medium is a short count (possibly 0); what was written stays counted.
      if (IsDiskFullError(errno) || done > 0) {
        return static_cast<int64_t>(done);
      }
      return -1;
    }
    if (n == 0) {
      lastError_ = ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
  if (handle_ < 0) {
    lastError_ = EBADF;
    return -1;
  }
  const int whence =
      origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  const off_t result = ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), whence);
  if (result < 0) {
    lastError_ = errno;
    return -1;
  }
  return static_cast<int64_t>(result);
}

int64_t File::Size() {
  struct stat st;
  if (handle_ < 0 || fstat(static_cast<int>(handle_), &st) != 0) {
    lastError_ = handle_ < 0 ? EBADF : errno;
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

bool File::Flush() {
  if (handle_ < 0 || fsync(static_cast<int>(handle_)) != 0) {
    lastError_ = handle_ < 0 ? EBADF : errno;
    return false;
  }
  return true;
}

bool File::SetDosDateTime(uint32_t dosDateTime) {
  if (handle_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  const unsigned date = dosDateTime >> 16;
  const unsigned time = dosDateTime & 0xFFFF;
  const int year = 1980 + static_cast<int>(date >> 9);
  const int month = static_cast<int>((date >> 5) & 15);
  const int day = static_cast<int>(date & 31);
  const int hour = static_cast<int>(time >> 11);
  const int minute = static_cast<int>((time >> 5) & 63);
  const int second = static_cast<int>(time & 31) * 2;
  // mktime would quietly turn 31 February into 3 March; Windows refuses such a value.
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    lastError_ = EINVAL;
    return false;
  }
  struct tm local {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;  // the zone's rules decide whether summer time applies
  errno = 0;
  const time_t t = LocalToTime(local);
  if (t == static_cast<time_t>(-1) && errno != 0) {
    lastError_ = errno;
    return false;
  }
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the last-access time stays
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  if (futimens(static_cast<int>(handle_), times) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

bool File::SetDosDateTimeAndAttributes(uint32_t dosDateTime, uint32_t attributes) {
  return SetDosDateTime(dosDateTime) && SetAttributes(attributes);
}

bool File::SetAttributes(uint32_t attributes) {
  const int fd = static_cast<int>(handle_);
  if (handle_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  // Open and Create refuse read-only files for writing, so a file open for writing is
  // writable by its owner already: clearing the read-only bit changes nothing there.
  if ((attributes & faReadOnly) == 0 && writable_) return true;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    lastError_ = errno;
    return false;
  }
  const mode_t mode = posix::ModeForAttributes(st.st_mode & 07777, attributes);
  if (mode != (st.st_mode & 07777) && fchmod(fd, mode) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

}  // namespace qp::platform

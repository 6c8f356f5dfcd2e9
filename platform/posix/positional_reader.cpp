// PositionalReader on POSIX: a duplicate of the file's descriptor, read with pread, which
// leaves the descriptor's shared offset alone.
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>

#include "platform/platform.h"

namespace qp::platform {

PositionalReader::~PositionalReader() { Close(); }

bool PositionalReader::Open(const File& file, const std::u16string&) {
  Close();
  if (!file.IsOpen()) return false;
  const int fd = fcntl(static_cast<int>(file.handle_), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

void PositionalReader::Close() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

int64_t PositionalReader::ReadAt(uint64_t offset, void* buffer, size_t count, int& error) const {
  if (handle_ == -1) {
    error = EBADF;
    return -1;
  }
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const uint64_t at = offset + done;
    if (at > static_cast<uint64_t>(INT64_MAX)) break;  // beyond any file: its end
    const ssize_t n = ::pread(static_cast<int>(handle_), out + done, count - done, static_cast<off_t>(at));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

}  // namespace qp::platform

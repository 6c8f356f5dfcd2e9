// The held destination folder and the opens resolved beneath it without following links.
#include "platform/posix/beneath.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

namespace qp::platform::posix {
namespace {

struct HeldRoot {
  std::mutex mutex;
  std::string path;
  int fd = -1;
};

HeldRoot& Held() {
  static HeldRoot held;
  return held;
}

// Cleared once the system answers that it has no openat2 (an older kernel, or a sandbox that
// filters it): the plain open, after the folders were checked one by one, is then all there is.
std::atomic<bool> gHaveOpenat2{true};

// openat2 with RESOLVE_BENEATH and RESOLVE_NO_SYMLINKS, or -1 with errno; ENOSYS when the
// system lacks it.
int OpenNoLinks(int dirFd, const char* relative, int flags, mode_t mode) {
#if defined(SYS_openat2) && defined(RESOLVE_BENEATH)
  if (gHaveOpenat2.load(std::memory_order_relaxed)) {
    struct open_how how {};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.mode = (flags & O_CREAT) != 0 ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    const long fd = syscall(SYS_openat2, dirFd, relative, &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
    gHaveOpenat2.store(false, std::memory_order_relaxed);
  }
#else
  (void)dirFd, (void)relative, (void)flags, (void)mode;
#endif
  errno = ENOSYS;
  return -1;
}

// The part of `native` below `root`, or empty when it is not below it.
std::string Below(const std::string& root, const std::string& native) {
  if (root.empty()) return std::string();
  if (root == "/") return native.size() > 1 && native[0] == '/' ? native.substr(1) : std::string();
  if (native.size() <= root.size() + 1 || native.compare(0, root.size(), root) != 0 || native[root.size()] != '/')
    return std::string();
  return native.substr(root.size() + 1);
}

}  // namespace

HeldRootLock::HeldRootLock(const std::string& root) : fd(-1) {
  HeldRoot& held = Held();
  held.mutex.lock();
  if (held.fd >= 0 && held.path == root) {
    fd = held.fd;
    return;
  }
  const int opened = ::open(root.empty() ? "." : root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (opened < 0) return;
  if (held.fd >= 0) ::close(held.fd);
  held.fd = fd = opened;
  held.path = root;
}

HeldRootLock::~HeldRootLock() {
  Held().mutex.unlock();
}

int OpenBeneathHeldRoot(const std::string& native, int flags, mode_t mode) {
  HeldRoot& held = Held();
  {
    std::lock_guard<std::mutex> lock(held.mutex);
    const std::string relative = held.fd >= 0 ? Below(held.path, native) : std::string();
    if (!relative.empty()) {
      const int fd = OpenNoLinks(held.fd, relative.c_str(), flags, mode);
      if (fd >= 0 || errno != ENOSYS) return fd;
    }
  }
  return ::open(native.c_str(), flags | O_CLOEXEC, mode);
}

bool FolderExistsBeneath(int rootFd, const std::string& relative) {
  const int fd = OpenNoLinks(rootFd, relative.c_str(), O_PATH | O_DIRECTORY, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

void ReleaseHeldRoot() {
  HeldRoot& held = Held();
  std::lock_guard<std::mutex> lock(held.mutex);
  if (held.fd >= 0) ::close(held.fd);
  held.fd = -1;
  held.path.clear();
}

}  // namespace qp::platform::posix

// Opening below the chosen destination without following links, race-free: the folder the
// person chose is held open, and names below it are resolved from that descriptor, never
// from the path again, so that a folder swapped for a link after it was checked cannot
// redirect a write.
#pragma once

#include <sys/types.h>

#include <string>

namespace qp::platform::posix {

// Runs `walk(fd)` with the chosen folder `root` (a native path without a trailing '/') held
// open as fd, links in it followed (the person chose it). Serialised, so that no other
// thread replaces the held folder meanwhile. Returns false with errno set when the folder
// cannot be opened.
template <class Walk>
bool WithHeldRoot(const std::string& root, Walk walk);

// Opens `native` like open(2). When it lies below the held folder and the system resolves
// paths beneath a descriptor (openat2), the part below is resolved from the held folder with
// no link followed anywhere in it, in the one call: a link on the way fails with ELOOP.
int OpenBeneathHeldRoot(const std::string& native, int flags, mode_t mode);

// Whether every folder of `relative` below the held folder `root` exists, entered without
// following a link (one call where openat2 is there). False when unknown.
bool FolderExistsBeneath(int rootFd, const std::string& relative);

// Closes the held folder (at the end of an extraction run).
void ReleaseHeldRoot();

// Implementation detail of WithHeldRoot.
struct HeldRootLock {
  explicit HeldRootLock(const std::string& root);
  ~HeldRootLock();
  HeldRootLock(const HeldRootLock&) = delete;
  HeldRootLock& operator=(const HeldRootLock&) = delete;
  int fd;
};

template <class Walk>
bool WithHeldRoot(const std::string& root, Walk walk) {
  HeldRootLock held(root);
  if (held.fd < 0) return false;
  return walk(held.fd);
}

}  // namespace qp::platform::posix

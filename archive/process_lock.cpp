// The process-wide lock. A recursive mutex: an event handler that runs while the lock is
// held may start another component's run on the same thread without deadlocking.
#include "archive/process_lock.h"

#include <mutex>

namespace {
std::recursive_mutex& Lock() {
  static std::recursive_mutex lock;
  return lock;
}
// Made at load, before any component exists.
[[maybe_unused]] const bool kLockCreated = (Lock(), true);
}  // namespace

TQPProcessLockGuard::TQPProcessLockGuard() { Lock().lock(); }
TQPProcessLockGuard::~TQPProcessLockGuard() { Lock().unlock(); }

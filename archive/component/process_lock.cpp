// What the engine sets up when it is loaded: the process-wide lock (a recursive mutex, so an
// event handler that runs while the lock is held may start another component's run on the
// same thread without deadlocking), and the seed of the crypto primitives' random salts,
// taken from the platform's high-resolution counter.
#include "archive/component/process_lock.h"

#include "crypto/pseudo_random.h"
#include "platform/platform.h"
#include "platform/threads.h"

namespace {
qp::platform::RecursiveMutex& Lock() {
  static qp::platform::RecursiveMutex lock;
  return lock;
}

uint64_t CounterSeed() { return static_cast<uint64_t>(qp::platform::HighResCounter()); }

// Made at load, before any component exists.
[[maybe_unused]] const bool kEngineLoaded = (Lock(), SetRandomSeedSource(&CounterSeed), true);
}  // namespace

TQPProcessLockGuard::TQPProcessLockGuard() { Lock().lock(); }
TQPProcessLockGuard::~TQPProcessLockGuard() { Lock().unlock(); }

// The engine's one process-wide lock: every component's per-item loop runs under it, so two
// components never process items at the same time. Created at load, released at unload.
#pragma once

class TQPProcessLockGuard {
 public:
  TQPProcessLockGuard();
  ~TQPProcessLockGuard();
  TQPProcessLockGuard(const TQPProcessLockGuard&) = delete;
  TQPProcessLockGuard& operator=(const TQPProcessLockGuard&) = delete;
};

// Threads on Win32: SRW locks, condition variables and CreateThread.
#include <windows.h>

#include "platform/threads.h"

namespace qp::platform {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

namespace {

SRWLOCK* AsLock(void*& slot) { return reinterpret_cast<SRWLOCK*>(&slot); }
CONDITION_VARIABLE* AsCondition(void*& slot) { return reinterpret_cast<CONDITION_VARIABLE*>(&slot); }

struct StartRecord {
  void (*entry)(void*);
  void* context;
};

DWORD WINAPI RunThread(void* parameter) {
  const StartRecord start = *static_cast<StartRecord*>(parameter);
  delete static_cast<StartRecord*>(parameter);
  start.entry(start.context);
  return 0;
}

}  // namespace

Mutex::Mutex() { InitializeSRWLock(AsLock(lock_)); }
Mutex::~Mutex() = default;
void Mutex::lock() { AcquireSRWLockExclusive(AsLock(lock_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(AsLock(lock_)); }

RecursiveMutex::RecursiveMutex() { InitializeSRWLock(AsLock(lock_)); }
RecursiveMutex::~RecursiveMutex() = default;

void RecursiveMutex::lock() {
  const DWORD self = GetCurrentThreadId();
  // Only this thread can have stored its own id, so a relaxed read tells whether it holds the lock.
  if (owner_.load(std::memory_order_relaxed) == self) {
    ++depth_;
    return;
  }
  AcquireSRWLockExclusive(AsLock(lock_));
  owner_.store(self, std::memory_order_relaxed);
  depth_ = 1;
}

void RecursiveMutex::unlock() {
  if (--depth_ != 0) return;
  owner_.store(0, std::memory_order_relaxed);
  ReleaseSRWLockExclusive(AsLock(lock_));
}

Condition::Condition() { InitializeConditionVariable(AsCondition(condition_)); }
Condition::~Condition() = default;

void Condition::Wait(std::unique_lock<Mutex>& held) {
  SleepConditionVariableSRW(AsCondition(condition_), AsLock(held.mutex()->lock_), INFINITE, 0);
}

void Condition::NotifyAll() { WakeAllConditionVariable(AsCondition(condition_)); }

Thread::~Thread() { Join(); }

bool Thread::Start(void (*entry)(void*), void* context) {
  if (started_) return false;
  auto* start = new StartRecord{entry, context};
  handle_ = CreateThread(nullptr, 0, RunThread, start, 0, nullptr);
  if (!handle_) {
    delete start;
    return false;
  }
  started_ = true;
  return true;
}

void Thread::Join() {
  if (!started_) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
  started_ = false;
}

unsigned ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}

}  // namespace qp::platform

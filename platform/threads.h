// Threads, mutexes and condition variables from the system itself: SRW locks, condition
// variables and CreateThread on Win32, pthreads on POSIX. The engine's two helper threads
// (inflating and decrypting ahead) need no more than this, and taking it straight from the
// system keeps the self-extractor free of the C++ library's thread emulation layer, which
// would otherwise add about 30 KB to every archive shipped with the stub.
//
// Mutex has lock()/unlock() so std::lock_guard and std::unique_lock work with it.
#pragma once

#include <atomic>
#include <mutex>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace qp::platform {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();

 private:
  friend class Condition;
#ifdef _WIN32
  void* lock_ = nullptr;  // an SRWLOCK: one pointer, statically initialised to zero
#else
  pthread_mutex_t lock_;
#endif
};

// A mutex the thread holding it may lock again; unlocked as often as locked.
class RecursiveMutex {
 public:
  RecursiveMutex();
  ~RecursiveMutex();
  RecursiveMutex(const RecursiveMutex&) = delete;
  RecursiveMutex& operator=(const RecursiveMutex&) = delete;
  void lock();
  void unlock();

 private:
#ifdef _WIN32
  void* lock_ = nullptr;         // an SRWLOCK
  std::atomic<unsigned long> owner_{0};  // thread id of the holder, 0 when free
  unsigned depth_ = 0;           // written only by the holder
#else
  pthread_mutex_t lock_;
#endif
};

class Condition {
 public:
  Condition();
  ~Condition();
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;

  // Releases the held mutex while waiting; wakes may be spurious, so callers test a predicate.
  void Wait(std::unique_lock<Mutex>& held);
  template <class Predicate>
  void Wait(std::unique_lock<Mutex>& held, Predicate ready) {
    while (!ready()) Wait(held);
  }
  void NotifyAll();

 private:
#ifdef _WIN32
  void* condition_ = nullptr;  // a CONDITION_VARIABLE, same as the lock
#else
  pthread_cond_t condition_;
#endif
};

// One thread running `entry(context)`. Join before destruction; the destructor joins a thread
// still running rather than leave it behind.
class Thread {
 public:
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // False when the system cannot start a thread; callers then do the work themselves.
  bool Start(void (*entry)(void*), void* context);
  bool Running() const { return started_; }
  void Join();

 private:
  bool started_ = false;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  pthread_t thread_{};
#endif
};

// Processors available to this process (at least 1).
unsigned ProcessorCount();

}  // namespace qp::platform

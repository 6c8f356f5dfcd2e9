// Threads on POSIX: pthreads.
#include "platform/threads.h"

#include <unistd.h>

namespace qp::platform {

namespace {

struct StartRecord {
  void (*entry)(void*);
  void* context;
};

void* RunThread(void* parameter) {
  const StartRecord start = *static_cast<StartRecord*>(parameter);
  delete static_cast<StartRecord*>(parameter);
  start.entry(start.context);
  return nullptr;
}

}  // namespace

Mutex::Mutex() { pthread_mutex_init(&lock_, nullptr); }
Mutex::~Mutex() { pthread_mutex_destroy(&lock_); }
void Mutex::lock() { pthread_mutex_lock(&lock_); }
void Mutex::unlock() { pthread_mutex_unlock(&lock_); }

RecursiveMutex::RecursiveMutex() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&lock_, &attributes);
  pthread_mutexattr_destroy(&attributes);
}
RecursiveMutex::~RecursiveMutex() { pthread_mutex_destroy(&lock_); }
void RecursiveMutex::lock() { pthread_mutex_lock(&lock_); }
void RecursiveMutex::unlock() { pthread_mutex_unlock(&lock_); }

Condition::Condition() { pthread_cond_init(&condition_, nullptr); }
Condition::~Condition() { pthread_cond_destroy(&condition_); }
void Condition::Wait(std::unique_lock<Mutex>& held) { pthread_cond_wait(&condition_, &held.mutex()->lock_); }
void Condition::NotifyAll() { pthread_cond_broadcast(&condition_); }

Thread::~Thread() { Join(); }

bool Thread::Start(void (*entry)(void*), void* context) {
  if (started_) return false;
  auto* start = new StartRecord{entry, context};
  if (pthread_create(&thread_, nullptr, RunThread, start) != 0) {
    delete start;
    return false;
  }
  started_ = true;
  return true;
}

void Thread::Join() {
  if (!started_) return;
  pthread_join(thread_, nullptr);
  started_ = false;
}

unsigned ProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

}  // namespace qp::platform

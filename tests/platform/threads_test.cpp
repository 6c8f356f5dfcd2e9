// The system's threads as the engine uses them: a worker handing results back through a
// mutex and a condition, and the recursive lock held twice by one thread while another waits.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/threads.h"

namespace {

using qp::platform::Condition;
using qp::platform::Mutex;
using qp::platform::RecursiveMutex;
using qp::platform::Thread;

// Ping-pong between two threads: every hand-over must be seen, none lost or doubled.
struct PingPong {
  Mutex mutex;
  Condition changed;
  int value = 0;
  static constexpr int kRounds = 2000;

  static void Worker(void* context) {
    auto* self = static_cast<PingPong*>(context);
    std::unique_lock<Mutex> lock(self->mutex);
    for (int i = 0; i < kRounds; ++i) {
      self->changed.Wait(lock, [self] { return self->value % 2 == 1; });
      ++self->value;
      self->changed.NotifyAll();
    }
  }
};

TEST(Threads, WorkerAndCallerTakeTurnsThroughTheCondition) {
  PingPong state;
  Thread worker;
  ASSERT_TRUE(worker.Start(&PingPong::Worker, &state));
  EXPECT_TRUE(worker.Running());
  EXPECT_FALSE(worker.Start(&PingPong::Worker, &state)) << "one thread per object";
  {
    std::unique_lock<Mutex> lock(state.mutex);
    for (int i = 0; i < PingPong::kRounds; ++i) {
      state.changed.Wait(lock, [&] { return state.value % 2 == 0; });
      ++state.value;
      state.changed.NotifyAll();
    }
    state.changed.Wait(lock, [&] { return state.value == 2 * PingPong::kRounds; });
  }
  worker.Join();
  EXPECT_FALSE(worker.Running());
  EXPECT_EQ(state.value, 2 * PingPong::kRounds);
  EXPECT_GE(qp::platform::ProcessorCount(), 1u);
}

struct Contender {
  explicit Contender(RecursiveMutex& l) : lock(&l) {}
  RecursiveMutex* lock;
  Mutex mutex;
  Condition changed;
  bool acquired = false;

  static void Worker(void* context) {
    auto* self = static_cast<Contender*>(context);
    std::lock_guard<RecursiveMutex> held(*self->lock);
    std::lock_guard<Mutex> guard(self->mutex);
    self->acquired = true;
    self->changed.NotifyAll();
  }
};

TEST(Threads, RecursiveMutexIsHeldUntilUnlockedAsOftenAsLocked) {
  RecursiveMutex lock;
  Contender other(lock);
  lock.lock();
  lock.lock();  // the holder takes it again without deadlock
  Thread worker;
  ASSERT_TRUE(worker.Start(&Contender::Worker, &other));
  lock.unlock();
  // Still held once: the other thread must not get in (a wrong implementation would let it
  // in now; it is given time to try).
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  {
    std::lock_guard<Mutex> guard(other.mutex);
    EXPECT_FALSE(other.acquired);
  }
  lock.unlock();
  {
    std::unique_lock<Mutex> guard(other.mutex);
    other.changed.Wait(guard, [&] { return other.acquired; });
  }
  worker.Join();
  EXPECT_TRUE(other.acquired);
}

}  // namespace

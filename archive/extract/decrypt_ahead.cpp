// The decrypt-ahead worker.
#include "archive/extract/decrypt_ahead.h"

#include <utility>

#include "archive/extract/inflater.h"

TQPDecryptAhead::~TQPDecryptAhead() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

uint8_t* TQPDecryptAhead::Spare() {
  if (!spare_) spare_.reset(new uint8_t[TQPInflater::kInputBlock + 2]);
  return spare_.get();
}

void TQPDecryptAhead::Start(IQPDecryptStage& stage, uint8_t* data, size_t count) {
  Wait();
  if (!worker_.joinable()) worker_ = std::thread(&TQPDecryptAhead::WorkerLoop, this);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stage_ = &stage;
    data_ = data;
    count_ = count;
    pending_ = true;
  }
  changed_.notify_all();
}

void TQPDecryptAhead::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void TQPDecryptAhead::WorkerLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || pending_; });
    if (quit_) return;
    IQPDecryptStage* stage = stage_;
    uint8_t* data = data_;
    const size_t count = count_;
    lock.unlock();
    std::exception_ptr failure;
    try {
      stage->Transform(data, count);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure;
    pending_ = false;
    changed_.notify_all();
  }
}

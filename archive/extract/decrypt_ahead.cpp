// The decrypt-ahead worker.
#include "archive/extract/decrypt_ahead.h"

#include <utility>

#include "archive/extract/inflater.h"

TQPDecryptAhead::~TQPDecryptAhead() {
  if (!worker_.Running()) return;
  {
    std::lock_guard<qp::platform::Mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.NotifyAll();
  worker_.Join();
}

uint8_t* TQPDecryptAhead::Spare() {
  if (!spare_) spare_.reset(new uint8_t[TQPInflater::kInputBlock + 2]);
  return spare_.get();
}

void TQPDecryptAhead::Start(IQPItemDecryptor& decryptor, uint8_t* data, size_t count) {
  Wait();
  if (!worker_.Running() &&
      !worker_.Start([](void* self) { static_cast<TQPDecryptAhead*>(self)->WorkerLoop(); }, this)) {
    // No second thread to be had: decrypt here, and let Wait pass on a failure as it would
    // one raised on the worker.
    try {
      decryptor.DecryptInPlace({data, count});
    } catch (...) {
      failure_ = std::current_exception();
    }
    return;
  }
  {
    std::lock_guard<qp::platform::Mutex> lock(mutex_);
    decryptor_ = &decryptor;
    data_ = data;
    count_ = count;
    pending_ = true;
  }
  changed_.NotifyAll();
}

void TQPDecryptAhead::Wait() {
  std::unique_lock<qp::platform::Mutex> lock(mutex_);
  changed_.Wait(lock, [this] { return !pending_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void TQPDecryptAhead::WorkerLoop() {
  std::unique_lock<qp::platform::Mutex> lock(mutex_);
  for (;;) {
    changed_.Wait(lock, [this] { return quit_ || pending_; });
    if (quit_) return;
    IQPItemDecryptor* decryptor = decryptor_;
    uint8_t* data = data_;
    const size_t count = count_;
    lock.unlock();
    std::exception_ptr failure;
    try {
      decryptor->DecryptInPlace({data, count});
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure;
    pending_ = false;
    changed_.NotifyAll();
  }
}

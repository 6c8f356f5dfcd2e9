// The inflate stream and its inflate-ahead worker.
#include "archive/extract/inflater.h"

TQPInflater::TQPInflater() : input_(new uint8_t[kInputBlock + 2]) {}

TQPInflater::~TQPInflater() {
  End();
  if (worker_.Running()) {
    {
      std::lock_guard<qp::platform::Mutex> lock(mutex_);
      quit_ = true;
    }
    changed_.NotifyAll();
    worker_.Join();
  }
}

void TQPInflater::EnsureSlot(int slot) {
  if (!output_[slot]) output_[slot].reset(new uint8_t[kOutputChunk]);
}

bool TQPInflater::Begin() {
  End();
  stream_ = z_stream{};
  if (inflateInit_(&stream_, ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) < 0) return false;
  // The two header bytes put in front of the data make zlib keep an Adler-32 of all output for
  // a trailer that item data never has; the CRC-32 is the check, so zlib is told to skip it.
  inflateValidate(&stream_, 0);
  begun_ = true;
  return true;
}

void TQPInflater::End() {
  StopBlock();
  if (begun_) inflateEnd(&stream_);
  begun_ = false;
}

TQPInflater::Chunk TQPInflater::InflateInto(int slot) {
  uint8_t* out = output_[slot].get();
  stream_.next_out = out;
  stream_.avail_out = static_cast<uInt>(kOutputChunk);
  Chunk c;
  c.result = inflate(&stream_, Z_NO_FLUSH);
  c.data = out;
  c.size = kOutputChunk - stream_.avail_out;
  c.inputLeft = stream_.avail_in != 0;
  const bool outputFull = stream_.avail_out == 0;
  // A full output buffer means another call, even when the input is used up: zlib may hold
  // more output for it.
  c.blockDone = c.result < 0 || c.result == Z_STREAM_END || (!outputFull && !c.inputLeft);
  return c;
}

void TQPInflater::StartBlock(const uint8_t* data, size_t length, bool ahead) {
  StopBlock();
  stream_.next_in = const_cast<Bytef*>(data);
  stream_.avail_in = static_cast<uInt>(length);
  ahead_ = ahead;
  EnsureSlot(0);
  if (!ahead_) return;
  for (int i = 1; i < kSlots; ++i) EnsureSlot(i);
  if (!worker_.Running() && !worker_.Start([](void* self) { static_cast<TQPInflater*>(self)->WorkerLoop(); }, this)) {
    ahead_ = false;  // no second thread to be had: the caller's thread inflates
    return;
  }
  {
    std::lock_guard<qp::platform::Mutex> lock(mutex_);
    produce_ = consume_ = filled_ = 0;
    blockActive_ = true;
  }
  changed_.NotifyAll();
}

TQPInflater::Chunk TQPInflater::Next() {
  if (!ahead_) return InflateInto(0);
  std::unique_lock<qp::platform::Mutex> lock(mutex_);
  for (;;) {
    if (filled_ > 0) return chunks_[consume_];
    if (!blockActive_) {
      // Asked past the end of the block: report a finished block rather than wait forever.
      Chunk done;
      done.result = Z_STREAM_ERROR;
      done.blockDone = true;
      return done;
    }
    // Nothing ready and the worker not inflating: it is asleep or still waiting for a
    // processor (on a busy machine that can take milliseconds). Make the call here instead
    // of waiting for it; the calls stay in order either way, one thread at a time.
    if (!busy_) {
      ProduceLocked(lock);
      continue;
    }
    changed_.Wait(lock);
  }
}

void TQPInflater::Release() {
  if (!ahead_) return;
  {
    std::lock_guard<qp::platform::Mutex> lock(mutex_);
    if (filled_ == 0) return;
    consume_ = (consume_ + 1) % kSlots;
    --filled_;
  }
  changed_.NotifyAll();
}

void TQPInflater::StopBlock() {
  if (!ahead_) return;
  std::unique_lock<qp::platform::Mutex> lock(mutex_);
  blockActive_ = false;
  // The stream must not be touched by two threads: wait for a call in progress to finish.
  changed_.Wait(lock, [this] { return !busy_; });
  produce_ = consume_ = filled_ = 0;
  ahead_ = false;
}

void TQPInflater::ProduceLocked(std::unique_lock<qp::platform::Mutex>& lock) {
  const int slot = produce_;
  busy_ = true;
  lock.unlock();
  const Chunk c = InflateInto(slot);
  lock.lock();
  busy_ = false;
  if (blockActive_) {
    chunks_[slot] = c;
    produce_ = (produce_ + 1) % kSlots;
    ++filled_;
    if (c.blockDone) blockActive_ = false;
  }
  changed_.NotifyAll();
}

void TQPInflater::WorkerLoop() {
  std::unique_lock<qp::platform::Mutex> lock(mutex_);
  for (;;) {
    changed_.Wait(lock, [this] { return quit_ || (blockActive_ && filled_ < kSlots && !busy_); });
    if (quit_) return;
    ProduceLocked(lock);
  }
}

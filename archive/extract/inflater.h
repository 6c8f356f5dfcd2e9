// TQPInflater: the decoder's zlib stream and its fixed buffers, reused across the items of a
// run. For large items it can run the inflate calls one step ahead on a second thread while
// the caller's thread writes, checks and reports the previous output; output is handed over
// in place (the caller writes from the slot the call filled). When the caller finds nothing
// ready and the worker idle, it makes the next call itself rather than wait for the worker to
// be scheduled. The caller sees the same sequence of results either way, and every event
// stays on the caller's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include <zlib.h>

#include "platform/threads.h"

class TQPInflater {
 public:
  static constexpr size_t kInputBlock = 0x100000;   // compressed bytes per read
  static constexpr size_t kOutputChunk = 0x100000;  // output of one inflate call at most

  // The outcome of one inflate call.
  struct Chunk {
    int result = Z_OK;
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool inputLeft = false;  // avail_in after the call was not 0
    bool blockDone = false;  // no further call is made for this block
  };

  TQPInflater();
  ~TQPInflater();
  TQPInflater(const TQPInflater&) = delete;
  TQPInflater& operator=(const TQPInflater&) = delete;

  // kInputBlock + 2 bytes: room for the two zlib header bytes in front of the first block.
  uint8_t* Input() { return input_.get(); }

  // Per item: a fresh inflate stream. False when zlib refuses to initialise.
  [[nodiscard]] bool Begin();
  // Stops any work ahead and releases the stream; safe to call when not begun.
  void End();

  // Per block: the next inflate calls read `length` bytes at `data`. With `ahead`, the
  // calls run on the worker thread, up to kSlots outputs in advance.
  void StartBlock(const uint8_t* data, size_t length, bool ahead);
  // The outcome of the next inflate call of the block; its data stays valid until Release.
  Chunk Next();
  void Release();
  // Abandons the rest of the block (the item is being given up).
  void StopBlock();

 private:
  static constexpr int kSlots = 3;

  Chunk InflateInto(int slot);
  // Makes the next inflate call into the next free slot, with mutex_ released meanwhile;
  // either thread may call it, never both at once (busy_).
  void ProduceLocked(std::unique_lock<qp::platform::Mutex>& lock);
  void WorkerLoop();
  void EnsureSlot(int slot);

  std::unique_ptr<uint8_t[]> input_;
  std::unique_ptr<uint8_t[]> output_[kSlots];
  z_stream stream_{};
  bool begun_ = false;
  bool ahead_ = false;

  // Worker state, guarded by mutex_.
  qp::platform::Thread worker_;
  qp::platform::Mutex mutex_;
  qp::platform::Condition changed_;
  bool quit_ = false;
  bool blockActive_ = false;  // the worker may make further calls for this block
  bool busy_ = false;         // a thread is inside inflate
  int produce_ = 0;
  int consume_ = 0;
  int filled_ = 0;
  Chunk chunks_[kSlots];
};

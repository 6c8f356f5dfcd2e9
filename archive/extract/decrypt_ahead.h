// TQPDecryptAhead: decrypts the next block of an item on a second thread while the caller
// inflates and writes the current one. The traditional cipher works byte by byte, each byte
// depending on the one before, so it cannot be made faster itself; running it beside
// inflating hides it instead. Only the decryption runs on the worker: reading, events and
// questions stay on the caller's thread. Owned by the run (or by one decoding outside a run)
// and kept for every item, like the inflater; the item decoder borrows it for one item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>

#include "archive/crypt/item_decryptor.h"
#include "platform/threads.h"

class TQPDecryptAhead {
 public:
  TQPDecryptAhead() = default;
  ~TQPDecryptAhead();
  TQPDecryptAhead(const TQPDecryptAhead&) = delete;
  TQPDecryptAhead& operator=(const TQPDecryptAhead&) = delete;

  // A second input buffer of the inflater's size (kInputBlock + 2), for the block ahead.
  uint8_t* Spare();
  // Starts decrypting `count` bytes at `data` in place through `decryptor`. The bytes and the
  // decryptor are borrowed by the worker until Wait returns.
  void Start(IQPItemDecryptor& decryptor, uint8_t* data, size_t count);
  // Until the work started last is done; passes on what it raised. Returns at once when
  // nothing was started.
  void Wait();

 private:
  void WorkerLoop();

  std::unique_ptr<uint8_t[]> spare_;
  qp::platform::Thread worker_;
  // Guarded by mutex_.
  qp::platform::Mutex mutex_;
  qp::platform::Condition changed_;
  IQPItemDecryptor* decryptor_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t count_ = 0;
  bool pending_ = false;  // work handed over and not yet done
  bool quit_ = false;
  std::exception_ptr failure_;
};

// TQPDecodeAhead: worker threads that decode the items of an extraction or test run ahead
// of the per-item loop, into memory, while the caller's thread raises the events of the
// current item and writes it.
//
// The loop decodes the item it comes to next itself unless a worker already has it, and the
// workers take the items after that one, so that every processor inflates. A worker runs the
// same item decoder as the loop, reading the archive through a positional
// reader of its own (the archive stream's position never moves because of it), into a sink
// that records the output and every Progress and Write call in order. When the loop comes to
// that item, it replays the recording into the item's real sink: the same calls with the same
// arguments, stopping where the real sink says stop, and then the decoder's verdict, damaged
// data included. So the events, questions, files and results are those of decoding on the
// caller's thread; only where the inflating happens changes.
//
// Which items: those the selection tagged, stored or deflated, not encrypted, no folder,
// from a single-file archive held in a file, of at least kSmallestItem bytes and each within
// its share of a fixed budget of bytes held ahead. Everything else, and every item whose recording does not match what the
// loop is about to decode, is decoded by the loop as it always was.
//
// Owned by the run (TQPExtractRun); its destruction stops and joins every worker and frees
// every buffer, whichever way the run ends. QP_WORKERS=0 in the environment turns it off;
// another number sets how many workers (at most kMaxWorkers).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "archive/extract/item_decoder.h"
#include "platform/platform.h"
#include "platform/threads.h"

class TQPDirArray;
class TQPStream;

class TQPDecodeAhead {
 public:
  static constexpr unsigned kMaxWorkers = 7;
  // Decoded bytes held ahead, across all workers, at most.
  static constexpr uint64_t kBudget = uint64_t{64} << 20;
  // Items decoded ahead of the loop at most: far enough to keep every worker busy, without
  // holding the budget's worth of small files that the loop will not reach for a while.
  static constexpr size_t kItemsAhead = 256;
  // Smaller items stay with the loop: inflating a few KiB costs less than handing the item
  // over between threads, and the loop spends its time creating the file anyway.
  static constexpr uint64_t kSmallestItem = 32 << 10;

  TQPDecodeAhead();
  ~TQPDecodeAhead();
  TQPDecodeAhead(const TQPDecodeAhead&) = delete;
  TQPDecodeAhead& operator=(const TQPDecodeAhead&) = delete;

  // How many workers a run gets: QP_WORKERS when set to a number, otherwise one per further
  // processor; never more than kMaxWorkers.
  static unsigned WorkerCount();

  // Starts the workers over the tagged items of `dir`, in index order (the loop's order), read
  // from `archive`, a single file whose central directory starts at `directoryStart`. Does
  // nothing when there is nothing to decode ahead or no way to read the archive concurrently.
  void Start(const TQPDirArray& dir, uint64_t directoryStart, TQPStream* archive);

  // Called where the loop decodes the item whose local header is at `localHeaderOffset`, with
  // the job it is about to run on data starting at `dataOffset`. When a worker decoded exactly
  // that, plays the recording into `sink` and returns the decoder's result; otherwise (none, or
  // not finished and not started) returns nothing and the caller decodes as usual. Items
  // planned before this one are given up, and a given-up or replayed item never comes back.
  std::optional<TQPDecodeResult> Replay(uint64_t localHeaderOffset, uint64_t dataOffset, const TQPDecodeJob& job,
                                        IQPDecodeSink& sink);

  // Stops and joins every worker and frees every recording. Safe to call more than once.
  void Stop();

  bool Active() const { return !workers_.empty(); }
  // Items played back from a worker since the program started, over all runs: for tests and
  // diagnostics, since nothing else can tell.
  static uint64_t ItemsReplayed();
  // Items a worker finished with a result the loop can play back, likewise.
  static uint64_t ItemsDecoded();

 private:
  // One call the decoder made on its sink: Write(count bytes) or Progress(value).
  struct Call {
    bool write;
    uint64_t value;
  };
  enum class State : uint8_t { Waiting, Decoding, Ready, Gone };
  struct Entry {
    uint64_t localHeaderOffset = 0;
    TQPDecodeJob job;  // from the directory, fixed when the run starts
    // Guarded by mutex_.
    State state = State::Waiting;
    bool abandoned = false;  // given up while a worker decodes it
    // Written by the worker that decodes the entry, read once it is Ready.
    bool usable = false;     // a result that the loop's own decode would give as well
    uint64_t dataOffset = 0;
    TQPDecodeJob ran;  // the job with the compressed size bounded as the loop bounds it
    TQPDecodeStatus status = TQPDecodeStatus::Damaged;
    std::unique_ptr<uint8_t[]> bytes;
    std::vector<Call> calls;
  };
  struct Worker;
  class Recorder;

  static void WorkerEntry(void* worker);
  void WorkerLoop(Worker& worker);
  void Decode(Worker& worker, Entry& entry);
  // Frees what an entry holds and returns its bytes to the budget; mutex_ held.
  void ReleaseLocked(Entry& entry);
  // Gives up the entries before `end` that the loop passed by; mutex_ held.
  void PassLocked(size_t end);
  // Wakes the workers waiting for room once there is room for a good part of the window, not
  // for every item the loop takes: small items would otherwise cost a wake-up each; mutex_ held.
  void WakeWorkersLocked();

  std::vector<Entry> entries_;
  std::unordered_map<uint64_t, size_t> byOffset_;
  std::vector<std::unique_ptr<Worker>> workers_;
  uint64_t directoryStart_ = 0;
  uint64_t share_ = 0;

  qp::platform::Mutex mutex_;
  qp::platform::Condition done_;  // an entry stopped Decoding: the loop may wait for one
  qp::platform::Condition room_;  // workers waiting for room in the budget or the window
  // Guarded by mutex_.
  size_t next_ = 0;     // the first entry no worker has looked at
  size_t passed_ = 0;   // the entries before this one are behind the loop
  uint64_t held_ = 0;   // bytes reserved by entries Decoding or Ready
  unsigned sleeping_ = 0;  // workers waiting on room_
  // Set under mutex_; read by the workers' sinks without it, to stop a decode early.
  std::atomic<bool> quit_{false};
};

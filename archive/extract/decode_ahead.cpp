// The decode-ahead workers: the plan of items made when the run starts, the workers' loop over
// it within the budget, their recording sink and positional source, and the replay.
#include "archive/extract/decode_ahead.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>

#include "archive/directory/dir_array.h"
#include "archive/extract/inflater.h"
#include "archive/format/records.h"
#include "archive/io/file_stream.h"

namespace {

// The item's data, read at increasing offsets through the worker's own reader.
class TQPPositionalSource final : public IQPBlockSource {
 public:
  TQPPositionalSource(const qp::platform::PositionalReader& reader, uint64_t offset)
      : reader_(reader), offset_(offset) {}

  bool ReadBlock(uint8_t* buffer, size_t count) override {
    int error = 0;
    const int64_t got = reader_.ReadAt(offset_, buffer, count, error);
    if (got < 0) throw EStreamIOError(true, error);
    offset_ += static_cast<uint64_t>(got);
    return static_cast<size_t>(got) == count;
  }

 private:
  const qp::platform::PositionalReader& reader_;
  uint64_t offset_;
};

// Statuses that the loop's own decode of the same bytes would give as well. The others tell
// of this worker's circumstances (its reads, a stop, its memory), so the loop decodes anew.
bool Reproducible(TQPDecodeStatus status) {
  switch (status) {
    case TQPDecodeStatus::Done:
    case TQPDecodeStatus::Truncated:
    case TQPDecodeStatus::Damaged:
    case TQPDecodeStatus::CheckFailed:
      return true;
    default:
      return false;
  }
}

std::atomic<uint64_t> itemsReplayed{0};
std::atomic<uint64_t> itemsDecoded{0};

bool SameJob(const TQPDecodeJob& a, const TQPDecodeJob& b) {
  return a.Deflated == b.Deflated && a.CompressedSize == b.CompressedSize && a.UncompressedSize == b.UncompressedSize &&
         a.CheckIntegrity == b.CheckIntegrity && a.StoredCrc == b.StoredCrc;
}

}  // namespace

// Keeps the output in a buffer of the item's stored size and the decoder's calls in order.
// The decoder never writes more than that size; a stop of the run ends the decode early.
class TQPDecodeAhead::Recorder final : public IQPDecodeSink {
 public:
  Recorder(Entry& entry, const std::atomic<bool>& quit) : entry_(entry), quit_(quit) {}

  bool Write(const uint8_t* data, size_t count) override {
    if (quit_.load(std::memory_order_relaxed) || count > entry_.ran.UncompressedSize - filled_) return false;
    std::copy(data, data + count, entry_.bytes.get() + filled_);
    filled_ += count;
    entry_.calls.push_back({true, count});
    return true;
  }

  bool Progress(uint64_t processed) override {
    if (quit_.load(std::memory_order_relaxed)) return false;
    entry_.calls.push_back({false, processed});
    return true;
  }

 private:
  Entry& entry_;
  uint64_t filled_ = 0;
  const std::atomic<bool>& quit_;
};

struct TQPDecodeAhead::Worker {
  TQPDecodeAhead* owner = nullptr;
  qp::platform::PositionalReader reader;
  std::unique_ptr<TQPInflater> inflater;
  qp::platform::Thread thread;
};

TQPDecodeAhead::TQPDecodeAhead() = default;

uint64_t TQPDecodeAhead::ItemsReplayed() { return itemsReplayed.load(); }
uint64_t TQPDecodeAhead::ItemsDecoded() { return itemsDecoded.load(); }
TQPDecodeAhead::~TQPDecodeAhead() { Stop(); }

unsigned TQPDecodeAhead::WorkerCount() {
  if (const char* setting = std::getenv("QP_WORKERS")) {
    char* end = nullptr;
    const long n = std::strtol(setting, &end, 10);
    if (end != setting && *end == '\0' && n >= 0) return static_cast<unsigned>(std::min<long>(n, kMaxWorkers));
  }
  const unsigned processors = qp::platform::ProcessorCount();
  return std::min(processors > 1 ? processors - 1 : 0u, kMaxWorkers);
}

void TQPDecodeAhead::Start(const TQPDirArray& dir, uint64_t directoryStart, TQPStream* archive) {
  Stop();
  auto* file = dynamic_cast<TQPFileStream*>(archive);
  const unsigned wanted = WorkerCount();
  if (!file || wanted == 0) return;
  directoryStart_ = directoryStart;
  // An item larger than its share would keep the others waiting for room: it streams.
  share_ = kBudget / (wanted + 1);

  // The plan is copied from the directory here, on the caller's thread: the workers never
  // touch the directory, which handlers may change while the run goes on.
  std::unordered_map<uint64_t, int> uses;
  for (int32_t i = 0; i < dir.Count(); ++i) ++uses[dir.ItemRef(i).LocalHeaderOffset()];
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemRef(i);
    const TCentralDirHeader& central = item.CentralDirItem;
    const bool method = item.ActualMethod == kMethodStored || item.ActualMethod == kMethodDeflate;
    if (!item.IsTagged || item.IsFolder() || !method || (central.Flags & 1) != 0 ||
        item.UncompressedSize() < kSmallestItem || item.UncompressedSize() > share_ ||
        uses[item.LocalHeaderOffset()] != 1)
      continue;
    Entry e;
    e.localHeaderOffset = item.LocalHeaderOffset();
    e.job.Deflated = item.ActualMethod == kMethodDeflate;
    e.job.CompressedSize = item.CompressedSize();
    e.job.UncompressedSize = item.UncompressedSize();
    e.job.CheckIntegrity = central.VersionNeeded < kStrongEncryptionVersion;
    e.job.StoredCrc = central.Crc32;
    byOffset_[e.localHeaderOffset] = entries_.size();
    entries_.push_back(std::move(e));
  }
  if (entries_.empty()) return;

  const size_t count = std::min<size_t>(wanted, entries_.size());
  quit_ = false;
  for (size_t i = 0; i < count; ++i) {
    auto worker = std::make_unique<Worker>();
    worker->owner = this;
    if (!worker->reader.Open(file->Handle(), file->Path())) break;
    worker->inflater = std::make_unique<TQPInflater>();
    if (!worker->thread.Start(&TQPDecodeAhead::WorkerEntry, worker.get())) break;
    workers_.push_back(std::move(worker));
  }
  if (workers_.empty()) Stop();
}

void TQPDecodeAhead::Stop() {
  {
    std::lock_guard<qp::platform::Mutex> lock(mutex_);
    quit_ = true;
  }
  room_.NotifyAll();
  done_.NotifyAll();
  for (auto& worker : workers_) worker->thread.Join();
  workers_.clear();
  entries_.clear();
  byOffset_.clear();
  next_ = passed_ = 0;
  held_ = 0;
}

void TQPDecodeAhead::WorkerEntry(void* worker) {
  auto& w = *static_cast<Worker*>(worker);
  w.owner->WorkerLoop(w);
}

void TQPDecodeAhead::WorkerLoop(Worker& worker) {
  std::unique_lock<qp::platform::Mutex> lock(mutex_);
  // The entry the loop will come to next is its own: it decodes that one itself while the
  // workers decode the ones after it. Were a worker to take it, the loop would only wait for
  // it and write, and the inflating would stay on one processor.
  auto candidate = [this] { return std::max(next_, passed_ + 1); };
  for (;;) {
    // The next entry in the loop's order, once the budget and the window have room for it;
    // entries the loop took or passed meanwhile are stepped over.
    ++sleeping_;
    room_.Wait(lock, [&] {
      const size_t i = candidate();
      return quit_ || i >= entries_.size() || entries_[i].state != State::Waiting ||
             (held_ + entries_[i].job.UncompressedSize <= kBudget && i < passed_ + kItemsAhead);
    });
    --sleeping_;
    const size_t i = candidate();
    if (quit_ || i >= entries_.size()) return;
    next_ = i + 1;
    Entry& entry = entries_[i];
    if (entry.state != State::Waiting) continue;
    entry.state = State::Decoding;
    held_ += entry.job.UncompressedSize;
    lock.unlock();
    Decode(worker, entry);
    if (entry.usable) itemsDecoded.fetch_add(1, std::memory_order_relaxed);
    lock.lock();
    if (entry.abandoned)
      ReleaseLocked(entry);
    else
      entry.state = State::Ready;
    done_.NotifyAll();
  }
}

void TQPDecodeAhead::Decode(Worker& worker, Entry& entry) {
  entry.usable = false;
  // The local header, read as the loop reads it, says where the data starts.
  uint8_t raw[TLocalFileHeader::kSize];
  int error = 0;
  if (worker.reader.ReadAt(entry.localHeaderOffset, raw, sizeof raw, error) != static_cast<int64_t>(sizeof raw))
    return;
  TLocalFileHeader local;
  local.Parse(raw);
  entry.dataOffset = entry.localHeaderOffset + sizeof raw + local.NameLength + local.ExtraLength;
  TQPDecodeJob& job = entry.ran;
  job = entry.job;
  // In a single file the data cannot reach into the central directory.
  job.CompressedSize =
      std::min(job.CompressedSize, directoryStart_ > entry.dataOffset ? directoryStart_ - entry.dataOffset : 0);
  try {
    if (job.UncompressedSize > 0) entry.bytes.reset(new uint8_t[job.UncompressedSize]);
    Recorder sink(entry, quit_);
    TQPPositionalSource source(worker.reader, entry.dataOffset);
    // No inflating ahead on yet another thread: the workers are the further processors.
    const TQPDecodeResult result = TQPItemDecoder(*worker.inflater, nullptr, false).Decode(job, source, nullptr, sink);
    entry.status = result.Status;
    entry.usable = Reproducible(result.Status);
  } catch (const std::bad_alloc&) {
    // No memory for this item here: the loop decodes it as it streams.
  }
  if (!entry.usable) {
    entry.bytes.reset();
    entry.calls = {};
  }
}

void TQPDecodeAhead::ReleaseLocked(Entry& entry) {
  if (entry.state == State::Decoding || entry.state == State::Ready) held_ -= entry.job.UncompressedSize;
  entry.state = State::Gone;
  entry.bytes.reset();
  entry.calls = {};
}

void TQPDecodeAhead::WakeWorkersLocked() {
  if (sleeping_ == 0) return;
  const bool window = next_ >= entries_.size() || next_ < passed_ + kItemsAhead / 2;
  if (window && held_ <= kBudget / 2) room_.NotifyAll();
}

void TQPDecodeAhead::PassLocked(size_t end) {
  for (; passed_ < end; ++passed_) {
    Entry& e = entries_[passed_];
    if (e.state == State::Decoding)
      e.abandoned = true;  // its worker releases it when done
    else
      ReleaseLocked(e);
  }
}

std::optional<TQPDecodeResult> TQPDecodeAhead::Replay(uint64_t localHeaderOffset, uint64_t dataOffset,
                                                      const TQPDecodeJob& job, IQPDecodeSink& sink) {
  if (workers_.empty()) return std::nullopt;
  const auto found = byOffset_.find(localHeaderOffset);
  if (found == byOffset_.end()) return std::nullopt;
  const size_t index = found->second;

  Entry* entry = nullptr;
  {
    std::unique_lock<qp::platform::Mutex> lock(mutex_);
    if (index < passed_) return std::nullopt;  // asked again (a retry): decoded as usual
    PassLocked(index);
    passed_ = index + 1;
    Entry& e = entries_[index];
    // Not begun: the loop does it itself at once rather than wait for a worker.
    if (e.state == State::Waiting) e.state = State::Gone;
    done_.Wait(lock, [&e] { return e.state != State::Decoding; });
    if (e.state == State::Ready && e.usable && e.dataOffset == dataOffset && SameJob(e.ran, job)) {
      entry = &e;
    } else {
      ReleaseLocked(e);
      WakeWorkersLocked();
      return std::nullopt;
    }
    WakeWorkersLocked();  // the passed entries made room
  }

  // Whatever way the replay ends (a handler may throw), the entry's bytes return to the budget.
  struct ReleaseOnExit {
    TQPDecodeAhead& self;
    Entry& entry;
    ~ReleaseOnExit() {
      std::lock_guard<qp::platform::Mutex> lock(self.mutex_);
      self.ReleaseLocked(entry);
      self.WakeWorkersLocked();
    }
  } release{*this, *entry};
  itemsReplayed.fetch_add(1, std::memory_order_relaxed);

  // The same calls the decoder made, ending where the real sink says stop; and a write
  // error of the destination is the decoder's WriteFailed, as when it decodes here.
  try {
    const uint8_t* at = entry->bytes.get();
    for (const Call& call : entry->calls) {
      if (call.write) {
        if (!sink.Write(at, static_cast<size_t>(call.value))) return TQPDecodeResult{TQPDecodeStatus::Cancelled, 0};
        at += call.value;
      } else if (!sink.Progress(call.value)) {
        return TQPDecodeResult{TQPDecodeStatus::Cancelled, 0};
      }
    }
  } catch (const EStreamIOError& e) {
    return TQPDecodeResult{e.IsRead ? TQPDecodeStatus::ReadFailed : TQPDecodeStatus::WriteFailed, e.SystemError};
  }
  return TQPDecodeResult{entry->status, 0};
}

// Decoding one item's data for the component: making the volume that holds the item current,
// positioning on its local header, and running the item decoder with the component's source
// (the archive stream, across volumes) and sink (the destination with the disk-full question,
// and the progress events of the run).
#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "archive/crypt/item_decryptor.h"
#include "archive/extract/extract_run.h"
#include "archive/extract/item_decoder.h"
#include "archive/format/records.h"

namespace {

// The archive's data, read on into the next volume where one volume ends.
class TQPVolumeSource final : public IQPBlockSource {
 public:
  explicit TQPVolumeSource(TQPArchiveSource& archive) : archive_(archive) {}
  bool ReadBlock(uint8_t* buffer, size_t count) override { return archive_.ReadAcrossVolumes(buffer, count); }

 private:
  TQPArchiveSource& archive_;
};

// The destination of one item: writes with the disk-full question, and the progress events
// of the run the item belongs to (none outside a run).
class TQPComponentSink final : public IQPDecodeSink {
 public:
  TQPComponentSink(TQPBaseArchiver& owner, TQPStream& destination, TQPExtractRun* run, const TDirItem& item)
      : owner_(owner),
        destination_(destination),
        run_(run),
        storedName_(item.ItemName),
        divisor_(item.UncompressedSize() == 0 ? 2 : static_cast<long double>(item.UncompressedSize())) {}

  bool Write(const uint8_t* data, size_t count) override {
    const int64_t position = destination_.Position();
    for (;;) {
      if (destination_.Write(data, count) == count) return true;
      bool stop = false;
      owner_.DoOnDiskFull(-1, owner_.FileName, stop);
      if (stop) {
        if (run_) run_->Cancel = true;
        return false;
      }
      destination_.SetPosition(position);
    }
  }

  bool Progress(uint64_t processed) override {
    if (!run_) return true;
    const long double fraction = static_cast<long double>(processed) / divisor_;
    owner_.DoOnFileProgress(storedName_, static_cast<double>(fraction * 100), run_->Operation, ppProcess,
                            run_->Cancel);
    if (run_->Cancel) return false;
    const long double total = run_->ItemsTotal > 0 ? run_->ItemsTotal : 1;
    owner_.DoOnOverallProgress(static_cast<double>((fraction + run_->ItemsDone) / total * 100), run_->Operation,
                               ppProcess, run_->Cancel);
    return !run_->Cancel;
  }

 private:
  TQPBaseArchiver& owner_;
  TQPStream& destination_;
  TQPExtractRun* run_;
  const std::u16string& storedName_;
  const long double divisor_;
};

// What the directory says about the item's data.
TQPDecodeJob JobOf(const TDirItem& item) {
  TQPDecodeJob job;
  job.Deflated = item.ActualMethod == kMethodDeflate;
  job.CompressedSize = item.CompressedSize();
  job.UncompressedSize = item.UncompressedSize();
  job.CheckIntegrity = item.CentralDirItem.VersionNeeded < kStrongEncryptionVersion;
  job.StoredCrc = item.CentralDirItem.Crc32;
  return job;
}

}  // namespace

void TQPBaseArchiver::ExtractItemToStream(int32_t ItemIndex, TQPStream& Destination) {
  // An item skipped for want of a password leaves the stream as it was, as it always has.
  static_cast<void>(DecodeItemInto(ItemIndex, Destination, nullptr));
}

bool TQPBaseArchiver::DecodeItemInto(int32_t index, TQPStream& destination, TQPExtractRun* run) {
  if (!source_->DirManager() || index < 0 || index >= ItemCount()) throw EQPException(neIndexOutOfBounds, this);
  TDirItem& item = source_->DirManager()->Directory.ItemRef(index);
  if (spanningMode_ != smNone) source_->SelectVolumeOf(item);

  TQPDecodeResult result{TQPDecodeStatus::Damaged, 0};
  try {
    TQPStream* archive = source_->Stream();
    const uint64_t offset = item.LocalHeaderOffset();
    if (archive && offset <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      archive->SetPosition(static_cast<int64_t>(offset));
      result = DecodeItemData(*archive, destination, item, run);
    }
  } catch (const EStreamError&) {
    // An offset or length that leads outside the archive is damaged data, not a crash.
    result = {TQPDecodeStatus::Damaged, 0};
  }
  switch (result.Status) {
    case TQPDecodeStatus::Done:
      return true;
    case TQPDecodeStatus::Cancelled:
    case TQPDecodeStatus::Skipped:
      return false;
    case TQPDecodeStatus::ReadFailed: {
      // The archive could not be read: not damaged data, so ExtractCorruptedFiles has no say.
      throw EQPException(neCannotOpenFile, this, {source_->ShownVolumeName()}, result.SystemError);
    }
    case TQPDecodeStatus::WriteFailed:
      // A destination that refuses data for another reason than a full disk fails the item
      // with the system's cause; asking for another disk would not help.
      throw EQPException(neWriteError, this, {}, result.SystemError);
    case TQPDecodeStatus::Truncated:
    case TQPDecodeStatus::Damaged:
    case TQPDecodeStatus::CheckFailed:
      // Extracting damaged data may be wanted; a test that passed it would be a lie.
      if (!ExtractCorruptedFiles || (run && run->Operation == poTest)) throw EQPException(neCorruptedItem, this);
      return true;
  }
  return false;
}

TQPDecodeResult TQPBaseArchiver::DecodeItemData(TQPStream& archive, TQPStream& destination, TDirItem& item,
                                                TQPExtractRun* run) {
  uint8_t raw[TLocalFileHeader::kSize];
  if (archive.ReadFully(raw, sizeof raw) != sizeof raw) return {TQPDecodeStatus::Truncated, 0};
  TLocalFileHeader local;
  local.Parse(raw);
  archive.Seek(static_cast<int64_t>(local.NameLength) + local.ExtraLength, qp::platform::SeekOrigin::Current);

  TQPDecodeJob job = JobOf(item);
  if (spanningMode_ == smNone) {
    // In a single file the data cannot reach into the central directory.
    const uint64_t position = static_cast<uint64_t>(archive.Position());
    const uint64_t directoryStart = source_->DirManager()->DirectoryStart;
    job.CompressedSize = std::min(job.CompressedSize, directoryStart > position ? directoryStart - position : 0);
  }
  switch (item.ActualMethod) {
    case kMethodStored:
    case kMethodDeflate:
      break;
    case kMethodDeflate64:
      throw EQPException(neDeflate64, nullptr);
    default:
      return {TQPDecodeStatus::Damaged, 0};
  }

  TQPVolumeSource source(*source_);
  // The item's decryption state lives in this frame, so it is released (and its keys wiped)
  // on every way out, exceptions included.
  const std::unique_ptr<IQPItemDecryptor> crypt = IQPItemDecryptor::Create(ItemCryptoInfoOf(item, local));
  if (crypt) {
    const std::optional<uint64_t> payload = crypt->PayloadSize(job.CompressedSize);
    if (!payload) return {TQPDecodeStatus::Damaged, 0};  // too short for its own encryption header
    std::vector<uint8_t> header(crypt->HeaderSize());
    if (!source.ReadBlock(header.data(), header.size())) return {TQPDecodeStatus::Truncated, 0};
    // Method 99 says AES; an AES field whose strength is none of 128, 192 or 256 bits leaves the
    // item on the traditional scheme. When the password given does not open it that way, the
    // data is AES of a strength not supported: asking for other passwords, and then skipping
    // the item for want of one, would only hide that.
    const TCentralDirHeader& central = item.CentralDirItem;
    if (central.Method == kMethodAes && crypt->Scheme() == TItemScheme::Classic &&
        !crypt->CheckPassword(header, password_))
      throw EQPException(neCorruptedItem, this);
    if (!OpenWithPassword(*crypt, header, item.ItemName)) return {TQPDecodeStatus::Skipped, 0};
    job.CompressedSize = *payload;
  }

  // The run's inflater and decrypt-ahead worker when there is a run, else ones for this call.
  std::unique_ptr<TQPInflater> own;
  TQPInflater& inflater = run ? run->Inflater : *(own = std::make_unique<TQPInflater>());
  std::unique_ptr<TQPDecryptAhead> ownAhead;
  TQPDecryptAhead& decryptAhead = run ? run->DecryptAhead : *(ownAhead = std::make_unique<TQPDecryptAhead>());
  TQPComponentSink sink(*this, destination, run, item);
  // An item a worker decoded ahead is played back instead (decode_ahead.h).
  if (run && !crypt)
    if (const auto ahead = run->Ahead.Replay(item.LocalHeaderOffset(), archive.Position(), job, sink)) return *ahead;
  return TQPItemDecoder(inflater, &decryptAhead).Decode(job, source, crypt.get(), sink);
}

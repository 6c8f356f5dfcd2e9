// Decoding one item's data into a stream: positioning on its local header, reading the
// compressed data block by block (across volumes), copying stored data or inflating it,
// writing with the disk-full question, progress events, and the size and CRC-32 checks.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>

#include "archive/component/archiver.h"
#include "archive/format/crc32.h"
#include "archive/component/exception.h"
#include "archive/extract/inflater.h"
#include "archive/format/records.h"

namespace {

constexpr size_t kStoredPiece = 0xFFFF;
// Inflating ahead on the second core pays off once an item spans several output chunks;
// below that the hand-over between threads would cost more than it saves.
constexpr uint64_t kAheadThreshold = 2 * TQPInflater::kOutputChunk;

bool CanInflateAhead() {
  static const bool multiCore = std::thread::hardware_concurrency() > 1;
  return multiCore;
}

// Reads until `count` bytes arrived or the stream has no more.
size_t ReadFully(TQPStream& stream, uint8_t* buffer, size_t count) {
  size_t got = 0;
  while (got < count) {
    const size_t n = stream.Read(buffer + got, count - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

}  // namespace

void TQPBaseArchiver::ExtractItemToStream(int32_t ItemIndex, TQPStream& Destination) {
  if (!dirManager_ || ItemIndex < 0 || ItemIndex >= ItemCount()) throw EQPException(16, this);
  TDirItem& item = dirManager_->Directory.ItemRef(ItemIndex);

  if (spanningMode_ != smNone) {
    // Make the stream show the volume that holds the item's local header.
    const TQPDirManager& dm = *dirManager_;
    uint32_t disk = item.CentralDirItem.DiskNumberStart;
    if (disk == kMarker16) disk = dm.IsZip64 && item.HasZip64Values ? item.Zip64Values.DiskNumberStart : 0;
    int64_t last = dm.EndRecord.DiskNumber;
    if (last == kMarker16) last = dm.IsZip64 ? static_cast<int64_t>(dm.Zip64Locator.TotalDisks) - 1 : 0;
    TQPVolumeNumberInfo info = volumeInfo_;
    info.LastNumber = static_cast<int32_t>(last);
    if (static_cast<int64_t>(disk) == last)
      info.SetLast();
    else if (disk == 0)
      info.SetFirst();
    else
      info.SetNumber(static_cast<int32_t>(disk));
    SwitchVolume(info);
  }

  bool decoded = false;
  try {
    TQPStream* archive = stream_.get();
    const uint64_t offset = item.LocalHeaderOffset();
    if (archive && offset <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      archive->SetPosition(static_cast<int64_t>(offset));
      decoded = DecodeItemData(*archive, Destination, item);
    }
  } catch (const EStreamError&) {
    // An offset or length that leads outside the archive is damaged data, not a crash.
    decoded = false;
  }
  if (!decoded && !cancel_ && !ExtractCorruptedFiles && !skipFile_) throw EQPException(8, this);
}

bool TQPBaseArchiver::DecodeItemData(TQPStream& archive, TQPStream& destination, TDirItem& item) {
  // Decryption is not part of this decoder: an encrypted item fails instead of producing its
  // ciphertext as data.
  if (item.IsEncrypted()) throw EQPException(8, this);

  uint8_t raw[TLocalFileHeader::kSize];
  if (ReadFully(archive, raw, sizeof raw) != sizeof raw) return false;
  TLocalFileHeader local;
  local.Parse(raw);
  archive.Seek(static_cast<int64_t>(local.NameLength) + local.ExtraLength, SeekOrigin::Current);

  const uint64_t position = static_cast<uint64_t>(archive.Position());
  uint64_t compressedSize = item.CompressedSize();
  const uint64_t uncompressedSize = item.UncompressedSize();
  if (spanningMode_ == smNone) {
    // In a single file the data cannot reach into the central directory.
    const uint64_t directoryStart = dirManager_->DirectoryStart;
    const uint64_t room = directoryStart > position ? directoryStart - position : 0;
    compressedSize = std::min(compressedSize, room);
  }

  progressDivisor_ = uncompressedSize == 0 ? 2 : static_cast<int64_t>(std::min<uint64_t>(
                                                     uncompressedSize, std::numeric_limits<int64_t>::max()));
  currentItemProcessed_ = 0;
  skipFile_ = false;

  uint32_t crc = 0xFFFFFFFF;
  uint64_t produced = 0;
  switch (item.ActualMethod) {
    case kMethodStored:
    case kMethodDeflate:
      if (!RunDecoder(item, destination, compressedSize, uncompressedSize, crc, produced)) return false;
      break;
    case kMethodDeflate64:
      throw EQPException(55, nullptr);
    default:
      return false;
  }
  if (produced != uncompressedSize) return false;
  if (item.CentralDirItem.VersionNeeded >= kStrongEncryptionVersion) return true;
  return ~crc == item.CentralDirItem.Crc32;
}

bool TQPBaseArchiver::FireDecodeProgress(const std::u16string& storedName, uint64_t processed) {
  if (!progressEnabled_) return true;
  currentItemProcessed_ = static_cast<int64_t>(processed);
  const long double fraction = static_cast<long double>(processed) / static_cast<long double>(progressDivisor_);
  DoOnFileProgress(storedName, static_cast<double>(fraction * 100), runOperation_, ppProcess, cancel_);
  if (cancel_) return false;
  const long double total = itemsToProcess_ > 0 ? itemsToProcess_ : 1;
  DoOnOverallProgress(static_cast<double>((fraction + itemsProcessed_) / total * 100), runOperation_, ppProcess,
                      cancel_);
  return !cancel_;
}

bool TQPBaseArchiver::RunDecoder(TDirItem& item, TQPStream& destination, uint64_t compressedSize,
                                 uint64_t uncompressedSize, uint32_t& crc, uint64_t& produced) {
  // The run's inflater when there is one, else one for this call only.
  std::shared_ptr<TQPInflater> inflater = inflater_ ? inflater_ : std::make_shared<TQPInflater>();
  TQPInflater& z = *inflater;
  if (!z.Begin()) return false;
  struct EndOnExit {
    TQPInflater& z;
    ~EndOnExit() { z.End(); }
  } endOnExit{z};

  const bool deflated = item.ActualMethod == kMethodDeflate;
  const bool ahead = deflated && uncompressedSize > kAheadThreshold && CanInflateAhead();
  const std::u16string& storedName = item.ItemName;
  uint8_t* input = z.Input();
  uint64_t consumed = 0;

  while (consumed < compressedSize && !cancel_) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(TQPInflater::kInputBlock, compressedSize - consumed));
    const bool first = consumed == 0;
    // The first deflate block gets a two-byte zlib header in front so that the default
    // initialisation reads the raw stream; its missing trailer is left to the checks below.
    uint8_t* block = deflated && first ? input + 2 : input;
    if (!ReadBlock(block, n)) return false;

    if (deflated) {
      size_t length = n;
      if (first) {
        input[0] = 0x78;
        input[1] = 0x01;
        block = input;
        length += 2;
      }
      z.StartBlock(block, length, ahead);
      uint64_t blockProduced = 0;
      for (;;) {
        if (!FireDecodeProgress(storedName, consumed + blockProduced)) break;
        const TQPInflater::Chunk c = z.Next();
        if (c.result < 0) {
          z.Release();
          // Out of input with nothing to do is the end of the block, not an error.
          if (!c.inputLeft && c.result == Z_BUF_ERROR) break;
          return false;
        }
        // Never more than the stored size: a lying header or a decompression bomb stops here.
        const bool tooLong = c.size > uncompressedSize - produced;
        const size_t keep = tooLong ? static_cast<size_t>(uncompressedSize - produced) : c.size;
        const bool written = WriteDecoded(destination, c.data, keep);
        if (written) crc = UpdateCrc32(crc, c.data, keep);
        z.Release();
        if (!written) break;
        produced += keep;
        blockProduced += c.size;
        if (tooLong) return false;
        if (c.blockDone) break;
      }
      z.StopBlock();
    } else {
      size_t walked = 0;
      while (walked < n) {
        const size_t piece = std::min(kStoredPiece, n - walked);
        const uint8_t* data = block + walked;
        if (piece > uncompressedSize - produced) {
          const size_t keep = static_cast<size_t>(uncompressedSize - produced);
          if (WriteDecoded(destination, data, keep)) produced += keep;
          return false;
        }
        produced += piece;
        crc = UpdateCrc32(crc, data, piece);
        walked += piece;
        if (!FireDecodeProgress(storedName, consumed + walked)) break;
        if (!WriteDecoded(destination, data, piece)) break;
      }
    }
    consumed += n;
  }
  return true;
}

bool TQPBaseArchiver::WriteDecoded(TQPStream& destination, const uint8_t* buffer, size_t count) {
  if (count == 0) return true;
  const int64_t position = destination.Position();
  for (;;) {
    if (destination.Write(buffer, count) == count) return true;
    bool stop = false;
    DoOnDiskFull(-1, FileName, stop);
    if (stop) {
      cancel_ = true;
      return false;
    }
    destination.SetPosition(position);
  }
}

bool TQPBaseArchiver::ReadBlock(uint8_t* buffer, size_t count) {
  TQPStream* stream = stream_.get();
  if (!stream) return false;
  size_t got = ReadFully(*stream, buffer, count);
  // A single file has no next volume: a short read there is a truncated archive.
  while (got < count && spanningMode_ != smNone) {
    TQPVolumeNumberInfo next = volumeInfo_;
    next.SetNumber(volumeInfo_.Number + 1);
    stream = SwitchVolume(next);
    stream->SetPosition(0);
    got += ReadFully(*stream, buffer + got, count - got);
    if (stream->Position() == 0) break;
  }
  return got == count;
}

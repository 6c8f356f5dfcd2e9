// The item decoder: the read, decrypt, inflate-or-copy, write and check stages of one item.
#include "archive/extract/item_decoder.h"

#include <algorithm>
#include <utility>

#include "archive/crypt/item_decryptor.h"
#include "archive/extract/decrypt_ahead.h"
#include "archive/extract/inflater.h"
#include "archive/format/crc32.h"
#include "archive/io/stream.h"
#include "platform/threads.h"

namespace {

constexpr size_t kStoredPiece = 0xFFFF;
// Inflating ahead on the second core pays off once an item spans several output chunks;
// below that the hand-over between threads would cost more than it saves. The same second
// core decrypts ahead.
constexpr uint64_t kAheadThreshold = 2 * TQPInflater::kOutputChunk;

bool CanInflateAhead() {
  static const bool multiCore = qp::platform::ProcessorCount() > 1;
  return multiCore;
}

// After the last block: a plain item is proven by its CRC-32; an encrypted one by what its
// scheme stores right behind the data (possibly on the next volume; an archive that ends
// before it cannot prove the item) and, where the scheme relies on it, the CRC-32.
bool Proven(IQPItemDecryptor* decrypt, IQPBlockSource& source, uint32_t crc, uint32_t storedCrc) {
  if (!decrypt) return crc == storedCrc;
  uint8_t trailer[IQPItemDecryptor::kMaxTrailerSize];
  const size_t size = std::min(decrypt->TrailerSize(), sizeof trailer);
  if (size > 0 && !source.ReadBlock(trailer, size)) return false;
  if (!decrypt->Verify({trailer, size})) return false;
  return !decrypt->ComparesCrc() || crc == storedCrc;
}

// Ends the inflater's stream however the item's loop is left.
struct EndOnExit {
  TQPInflater& z;
  ~EndOnExit() { z.End(); }
};

// Whatever way the loop is left, the decrypt-ahead worker is done with the buffers and the
// decryptor before they go.
struct WaitOnExit {
  TQPDecryptAhead* pipe;
  ~WaitOnExit() {
    if (!pipe) return;
    try {
      pipe->Wait();
    } catch (...) {
      // Only a failure of work whose result is no longer wanted.
    }
  }
};

}  // namespace

TQPDecodeResult TQPItemDecoder::Decode(const TQPDecodeJob& job, IQPBlockSource& source, IQPItemDecryptor* decrypt,
                                       IQPDecodeSink& sink) {
  try {
    return {Run(job, source, decrypt, sink), 0};
  } catch (const EStreamIOError& e) {
    return {e.IsRead ? TQPDecodeStatus::ReadFailed : TQPDecodeStatus::WriteFailed, e.SystemError};
  }
}

TQPDecodeStatus TQPItemDecoder::Run(const TQPDecodeJob& job, IQPBlockSource& source, IQPItemDecryptor* decrypt,
                                    IQPDecodeSink& sink) {
  TQPInflater& z = inflater_;
  if (!z.Begin()) return TQPDecodeStatus::Damaged;
  const EndOnExit endOnExit{z};

  const bool ahead = inflateAhead_ && job.Deflated && job.UncompressedSize > kAheadThreshold && CanInflateAhead();
  // With more than one block to decrypt, the next block is read and decrypted on the second
  // core while this one is inflated, alternating between two input buffers.
  TQPDecryptAhead* pipe = decryptAhead_ != nullptr && decrypt != nullptr &&
                                  job.CompressedSize > TQPInflater::kInputBlock && CanInflateAhead()
                              ? decryptAhead_
                              : nullptr;
  const WaitOnExit waitOnExit{pipe};
  uint8_t* const inputs[2] = {z.Input(), pipe ? pipe->Spare() : z.Input()};
  // The block at `at` in input `slot`: the first deflate block leaves room for a two-byte
  // zlib header in front, so that the default initialisation reads the raw stream (its
  // missing trailer is left to the checks below).
  auto blockAt = [&](uint64_t at, int slot) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(TQPInflater::kInputBlock, job.CompressedSize - at));
    return std::pair<uint8_t*, size_t>{inputs[slot] + (job.Deflated && at == 0 ? 2 : 0), n};
  };

  Totals totals;
  uint64_t consumed = 0;
  int slot = 0;
  bool nextMissing = false;  // the archive ended inside the block read ahead
  if (pipe && job.CompressedSize > 0) {
    const auto [data, n] = blockAt(0, 0);
    if (!source.ReadBlock(data, n)) return TQPDecodeStatus::Truncated;
    pipe->Start(*decrypt, data, n);
  }
  while (consumed < job.CompressedSize) {
    auto [block, n] = blockAt(consumed, slot);
    if (pipe) {
      pipe->Wait();
      const uint64_t following = consumed + n;
      if (following < job.CompressedSize) {
        const auto [data, count] = blockAt(following, 1 - slot);
        if (source.ReadBlock(data, count))
          pipe->Start(*decrypt, data, count);
        else
          nextMissing = true;  // reported once this block's output is written, as without the pipe
      }
    } else {
      if (!source.ReadBlock(block, n)) return TQPDecodeStatus::Truncated;
      if (decrypt) decrypt->DecryptInPlace({block, n});
    }

    const TQPDecodeStatus status = DecodeBlock(job, block, n, consumed, ahead, sink, totals);
    if (status != TQPDecodeStatus::Done) return status;
    if (nextMissing) return TQPDecodeStatus::Truncated;
    consumed += n;
    if (pipe) slot = 1 - slot;
  }

  if (totals.produced != job.UncompressedSize) return TQPDecodeStatus::Damaged;
  if (!job.CheckIntegrity) return TQPDecodeStatus::Done;
  return Proven(decrypt, source, ~totals.crc, job.StoredCrc) ? TQPDecodeStatus::Done : TQPDecodeStatus::CheckFailed;
}

TQPDecodeStatus TQPItemDecoder::DecodeBlock(const TQPDecodeJob& job, uint8_t* block, size_t length, uint64_t consumed,
                                            bool ahead, IQPDecodeSink& sink, Totals& totals) {
  if (!job.Deflated) return CopyBlock(job, block, length, consumed, sink, totals);
  if (consumed == 0) {
    // The room left in front of the first block takes a zlib header.
    block -= 2;
    block[0] = 0x78;
    block[1] = 0x01;
    length += 2;
  }
  return InflateBlock(job, block, length, consumed, ahead, sink, totals);
}

TQPDecodeStatus TQPItemDecoder::InflateBlock(const TQPDecodeJob& job, const uint8_t* block, size_t length,
                                             uint64_t consumed, bool ahead, IQPDecodeSink& sink, Totals& totals) {
  TQPInflater& z = inflater_;
  z.StartBlock(block, length, ahead);
  TQPDecodeStatus status = TQPDecodeStatus::Done;
  uint64_t blockProduced = 0;
  for (;;) {
    if (!sink.Progress(consumed + blockProduced)) {
      status = TQPDecodeStatus::Cancelled;
      break;
    }
    const TQPInflater::Chunk c = z.Next();
    if (c.result < 0) {
      z.Release();
      // Out of input with nothing to do is the end of the block, not an error.
      if (!(!c.inputLeft && c.result == Z_BUF_ERROR)) status = TQPDecodeStatus::Damaged;
      break;
    }
    status = Emit(job, c.data, c.size, sink, totals);
    z.Release();
    if (status != TQPDecodeStatus::Done) break;
    blockProduced += c.size;
    if (c.blockDone) break;
  }
  z.StopBlock();
  return status;
}

TQPDecodeStatus TQPItemDecoder::CopyBlock(const TQPDecodeJob& job, const uint8_t* block, size_t length,
                                          uint64_t consumed, IQPDecodeSink& sink, Totals& totals) {
  for (size_t walked = 0; walked < length;) {
    const size_t piece = std::min(kStoredPiece, length - walked);
    const uint8_t* data = block + walked;
    walked += piece;
    if (!sink.Progress(consumed + walked)) return TQPDecodeStatus::Cancelled;
    const TQPDecodeStatus status = Emit(job, data, piece, sink, totals);
    if (status != TQPDecodeStatus::Done) return status;
  }
  return TQPDecodeStatus::Done;
}

TQPDecodeStatus TQPItemDecoder::Emit(const TQPDecodeJob& job, const uint8_t* data, size_t count,
                                     IQPDecodeSink& sink, Totals& totals) {
  // Never more than the stored size: a lying header or a decompression bomb stops here.
  const bool tooLong = count > job.UncompressedSize - totals.produced;
  const size_t keep = tooLong ? static_cast<size_t>(job.UncompressedSize - totals.produced) : count;
  if (keep > 0 && !sink.Write(data, keep)) return TQPDecodeStatus::Cancelled;
  totals.crc = UpdateCrc32(totals.crc, data, keep);
  totals.produced += keep;
  return tooLong ? TQPDecodeStatus::Damaged : TQPDecodeStatus::Done;
}

// The item decoder: the read, decrypt, inflate-or-copy, write and check stages of one item.
#include "archive/extract/item_decoder.h"

#include <algorithm>
#include <thread>

#include "archive/extract/inflater.h"
#include "archive/format/crc32.h"
#include "archive/io/stream.h"

namespace {

constexpr size_t kStoredPiece = 0xFFFF;
// Inflating ahead on the second core pays off once an item spans several output chunks;
// below that the hand-over between threads would cost more than it saves.
constexpr uint64_t kAheadThreshold = 2 * TQPInflater::kOutputChunk;

bool CanInflateAhead() {
  static const bool multiCore = std::thread::hardware_concurrency() > 1;
  return multiCore;
}

}  // namespace

TQPDecodeResult TQPItemDecoder::Decode(const TQPDecodeJob& job, IQPBlockSource& source, IQPDecryptStage& decrypt,
                                       IQPDecodeSink& sink) {
  try {
    return {Run(job, source, decrypt, sink), 0};
  } catch (const EStreamIOError& e) {
    return {e.IsRead ? TQPDecodeStatus::ReadFailed : TQPDecodeStatus::WriteFailed, e.SystemError};
  }
}

TQPDecodeStatus TQPItemDecoder::Run(const TQPDecodeJob& job, IQPBlockSource& source, IQPDecryptStage& decrypt,
                                    IQPDecodeSink& sink) {
  TQPInflater& z = inflater_;
  if (!z.Begin()) return TQPDecodeStatus::Damaged;
  struct EndOnExit {
    TQPInflater& z;
    ~EndOnExit() { z.End(); }
  } endOnExit{z};

  const bool ahead = job.Deflated && job.UncompressedSize > kAheadThreshold && CanInflateAhead();
  uint8_t* input = z.Input();
  Totals totals;
  uint64_t consumed = 0;
  while (consumed < job.CompressedSize) {
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>(TQPInflater::kInputBlock, job.CompressedSize - consumed));
    const bool first = consumed == 0;
    // The first deflate block gets a two-byte zlib header in front so that the default
    // initialisation reads the raw stream; its missing trailer is left to the checks below.
    uint8_t* block = job.Deflated && first ? input + 2 : input;

    if (!source.ReadBlock(block, n)) return TQPDecodeStatus::Truncated;
    decrypt.Transform(block, n);
    TQPDecodeStatus status;
    if (job.Deflated) {
      size_t length = n;
      if (first) {
        input[0] = 0x78;
        input[1] = 0x01;
        block = input;
        length += 2;
      }
      status = InflateBlock(job, block, length, consumed, ahead, sink, totals);
    } else {
      status = CopyBlock(job, block, n, consumed, sink, totals);
    }
    if (status != TQPDecodeStatus::Done) return status;
    consumed += n;
  }

  if (totals.produced != job.UncompressedSize) return TQPDecodeStatus::Damaged;
  if (!job.CheckIntegrity) return TQPDecodeStatus::Done;
  return decrypt.Finish(~totals.crc, job.StoredCrc) ? TQPDecodeStatus::Done : TQPDecodeStatus::CheckFailed;
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

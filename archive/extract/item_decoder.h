// TQPItemDecoder: decodes the data of one item, block by block. A block passes through the
// stages in this order: read (across volumes, by the source), decrypt (the item's decryptor,
// for an encrypted item), inflate or copy, and then, for each piece of output, write (to the
// sink), CRC-32 and the count of produced bytes. After the last block come the size check and
// the integrity check. The decoder knows no component: the events and questions live behind
// the source and sink. It owns nothing of an item: source, decryptor and sink are borrowed
// for one Decode; the inflater and the decrypt-ahead worker are borrowed from the run.
#pragma once

#include <cstddef>
#include <cstdint>


class IQPItemDecryptor;
class TQPInflater;
class TQPDecryptAhead;

// Where the compressed bytes come from.
class IQPBlockSource {
 public:
  virtual ~IQPBlockSource() = default;
  // Fills `buffer` with exactly `count` bytes; false when the archive ends first. A read
  // error of the archive raises EStreamIOError.
  [[nodiscard]] virtual bool ReadBlock(uint8_t* buffer, size_t count) = 0;
};

// Where the decoded bytes go, and who hears of the progress.
class IQPDecodeSink {
 public:
  virtual ~IQPDecodeSink() = default;
  // Writes all `count` bytes; false when the user chose to stop (a full disk). A write error
  // that is not a full disk raises EStreamIOError.
  [[nodiscard]] virtual bool Write(const uint8_t* data, size_t count) = 0;
  // `processed` bytes of the item are done; false when the user cancelled.
  [[nodiscard]] virtual bool Progress(uint64_t processed) = 0;
};

// What the directory says about the data of one item.
struct TQPDecodeJob {
  bool Deflated = false;          // method 8; otherwise stored
  uint64_t CompressedSize = 0;    // bytes to read, without any encryption overhead
  uint64_t UncompressedSize = 0;  // bytes the item must produce
  bool CheckIntegrity = true;     // false for items whose data carries no check we read
  uint32_t StoredCrc = 0;
};

enum class [[nodiscard]] TQPDecodeStatus {
  Done,         // decoded, size and integrity check passed
  Cancelled,    // the user stopped (progress Cancel or a full disk); nothing failed
  Truncated,    // the archive ended before the item's data did
  Damaged,      // inflate failed, or the output did not have the stored size
  CheckFailed,  // the CRC-32 (or the decryptor's own proof) did not match
  ReadFailed,   // the archive could not be read (SystemError holds the cause)
  WriteFailed,  // the destination could not be written, other than a full disk
  Skipped,      // not decoded at all: no password opened the encrypted item (the caller's verdict)
};

struct [[nodiscard]] TQPDecodeResult {
  TQPDecodeStatus Status = TQPDecodeStatus::Done;
  int SystemError = 0;  // the platform's error code for ReadFailed and WriteFailed
};

class TQPItemDecoder {
 public:
  // The inflater's buffers (and its inflate-ahead thread) are borrowed, so that one set
  // serves every item of a run; so is the decrypt-ahead worker, when there is one. Without
  // `inflateAhead` the decoder keeps to the calling thread (it is a worker itself).
  explicit TQPItemDecoder(TQPInflater& inflater, TQPDecryptAhead* decryptAhead = nullptr, bool inflateAhead = true)
      : inflater_(inflater), decryptAhead_(decryptAhead), inflateAhead_(inflateAhead) {}

  // `decrypt` is null for an item that is not encrypted; otherwise it has accepted a password,
  // and the bytes its scheme stores behind the data are read from `source` after the last
  // block.
  [[nodiscard]] TQPDecodeResult Decode(const TQPDecodeJob& job, IQPBlockSource& source, IQPItemDecryptor* decrypt,
                                       IQPDecodeSink& sink);

 private:
  // The running totals of one item: what was written, counted only once it was written.
  struct Totals {
    uint32_t crc = 0xFFFFFFFF;
    uint64_t produced = 0;
  };

  TQPDecodeStatus Run(const TQPDecodeJob& job, IQPBlockSource& source, IQPItemDecryptor* decrypt,
                      IQPDecodeSink& sink);
  // One block of the item's data (decrypted), `consumed` bytes into it: inflated or copied.
  TQPDecodeStatus DecodeBlock(const TQPDecodeJob& job, uint8_t* block, size_t length, uint64_t consumed, bool ahead,
                              IQPDecodeSink& sink, Totals& totals);
  TQPDecodeStatus InflateBlock(const TQPDecodeJob& job, const uint8_t* block, size_t length, uint64_t consumed,
                               bool ahead, IQPDecodeSink& sink, Totals& totals);
  TQPDecodeStatus CopyBlock(const TQPDecodeJob& job, const uint8_t* block, size_t length, uint64_t consumed,
                            IQPDecodeSink& sink, Totals& totals);
  // The one place where output is written, checked and counted.
  static TQPDecodeStatus Emit(const TQPDecodeJob& job, const uint8_t* data, size_t count, IQPDecodeSink& sink,
                              Totals& totals);

  TQPInflater& inflater_;
  TQPDecryptAhead* decryptAhead_;
  bool inflateAhead_;
};

// TProtection: a chainable data transformer, the base of the cipher framework.
//
// An action is a small number: 0 encodes, 1 decodes (see TPAction). A chained TProtection sees
// every chunk first when decoding and last when encoding. The object is reference-counted
// through std::shared_ptr; the chained object is held by a shared_ptr and released on
// destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "crypto/string_format.h"

enum TPAction : uint8_t {
  paEncode = 0,
  paDecode = 1,
  paScramble = 2,  // treated as encoding by TCipher
  paCalcMAC = 3,   // encoding without the chaining reset
  paWipe = 4,      // refused by TCipher ("Not implemented 12")
};

class TProtection {
 public:
  // Progress of ProcessStream: bytes done so far and the total.
  using ProgressHandler = std::function<void(int64_t done, int64_t total)>;

  explicit TProtection(std::shared_ptr<TProtection> chain = nullptr) : chain_(std::move(chain)) {}
  virtual ~TProtection() = default;
  TProtection(const TProtection&) = delete;
  TProtection& operator=(const TProtection&) = delete;

  // The virtual operations, in their slot order; the stream, file and string forms below are
  // plain members, since nothing overrides them and, virtual, they would bring iostreams and
  // the file-system library into every program that holds a cipher (the self-extractor).
  virtual void BeginAction(int action);
  virtual void EndAction(int action);
  virtual void ProcessChunk(void* buffer, size_t size, int action);
  // Reads size bytes from source (size < 0: the whole source, from its start), transforms them
  // in chunks between BeginAction and EndAction, writes them to destination, and reports
  // progress. Source and destination may be the same stream (same stream buffer): each chunk
  // is then written back where it was read. Returns the bytes processed.
  int64_t ProcessStream(std::istream& source, std::ostream& destination, int action, int64_t size = -1);
  // Transforms a file. When the destination name is blank or equals the source name
  // (case-insensitively) the file is transformed in place. Throws std::runtime_error when a
  // file cannot be opened.
  void ProcessFile(const std::filesystem::path& source, const std::filesystem::path& destination, int action);
  // Transforms a byte string; the encoded side is in the given text format (copy when none).
  std::string ProcessString(const std::string& text, int action, const TStringFormat* format = nullptr);
  // BeginAction, ProcessChunk, EndAction; returns size.
  virtual size_t ProcessBuffer(void* buffer, size_t size, int action);

  const std::shared_ptr<TProtection>& Chain() const { return chain_; }
  void SetChain(std::shared_ptr<TProtection> chain) { chain_ = std::move(chain); }
  void SetOnProgress(ProgressHandler handler) { onProgress_ = std::move(handler); }

 protected:
  void DoProgress(int64_t done, int64_t total) {
    if (onProgress_) onProgress_(done, total);
  }

 private:
  std::shared_ptr<TProtection> chain_;
  ProgressHandler onProgress_;
};

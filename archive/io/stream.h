// The engine's byte streams: the abstract TQPStream and the in-memory TQPMemoryStream.
// Read and Write move fewer bytes than asked only at the end of the data or on a full medium;
// other failures of the system raise EStreamIOError. ReadBuffer and WriteBuffer raise
// EStreamError when the whole count cannot be moved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <utility>
#include <vector>

#include "platform/platform.h"

// A read or write that could not move every byte it was asked to. The directory reader
// takes it as "the archive ends here" and rebuilds; elsewhere it fails the item. The message
// is a literal: the standard library's message-carrying exceptions would bring their own
// string implementation into the self-extractor, only for this.
class EStreamError : public std::exception {
 public:
  explicit EStreamError(const char* message) : message_(message) {}
  const char* what() const noexcept override { return message_; }

 private:
  const char* message_;
};

// A read or write that the operating system refused (an I/O error, no permission, a vanished
// folder): not the end of the data and not a full medium. Carries the platform's error code.
class EStreamIOError : public std::exception {
 public:
  EStreamIOError(bool isRead, int systemError) : IsRead(isRead), SystemError(systemError) {}
  const char* what() const noexcept override { return IsRead ? "Stream read failed" : "Stream write failed"; }

  bool IsRead;
  int SystemError;
};

class TQPStream {
 public:
  virtual ~TQPStream() = default;
  // Returns the bytes read; 0 at the end of the data. A read error raises EStreamIOError.
  [[nodiscard]] virtual size_t Read(void* buffer, size_t count) = 0;
  // Returns the bytes written; fewer than count when the medium is full. Any other write
  // failure raises EStreamIOError.
  [[nodiscard]] virtual size_t Write(const void* buffer, size_t count) = 0;
  // Returns the new position; raises EStreamError when the target is not reachable.
  virtual int64_t Seek(int64_t offset, qp::platform::SeekOrigin origin) = 0;
  virtual int64_t Size() = 0;

  int64_t Position() { return Seek(0, qp::platform::SeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, qp::platform::SeekOrigin::Begin); }
  void ReadBuffer(void* buffer, size_t count);
  // Reads until `count` bytes arrived or the data ends; returns the bytes read.
  size_t ReadFully(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  // Copies `count` bytes from `source` at its position; returns the bytes copied.
  [[nodiscard]] int64_t CopyFrom(TQPStream& source, int64_t count);
};

class TQPMemoryStream : public TQPStream {
 public:
  TQPMemoryStream() = default;
  explicit TQPMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}

  [[nodiscard]] size_t Read(void* buffer, size_t count) override;
  [[nodiscard]] size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, qp::platform::SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  const std::vector<uint8_t>& Data() const { return data_; }
  void Clear();

 private:
  std::vector<uint8_t> data_;
  size_t position_ = 0;
};

// TQPFileStream: a file as a TQPStream. Small reads are served from a 64 KiB read buffer, so
// that the directory reader's many 46-byte reads cost few system calls; writes go straight
// to the file (callers write in large blocks).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/io/stream.h"
#include "platform/platform.h"

class TQPFileStream : public TQPStream {
 public:
  // Opens an existing file with combined access and share flags (0x40, 0x22, ...).
  [[nodiscard]] static std::unique_ptr<TQPFileStream> Open(const std::u16string& path, uint16_t mode);
  // Creates (or truncates) a file for reading and writing.
  [[nodiscard]] static std::unique_ptr<TQPFileStream> Create(const std::u16string& path);
  // Creates a file only when none answers to the name; null otherwise.
  [[nodiscard]] static std::unique_ptr<TQPFileStream> CreateNew(const std::u16string& path);

  [[nodiscard]] size_t Read(void* buffer, size_t count) override;
  [[nodiscard]] size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, qp::platform::SeekOrigin origin) override;
  int64_t Size() override;

  [[nodiscard]] bool Flush();
  qp::platform::File& Handle() { return file_; }
  const std::u16string& Path() const { return path_; }

 private:
  TQPFileStream(qp::platform::File file, std::u16string path);
  void DropBuffer();

  qp::platform::File file_;
  std::u16string path_;
  std::vector<uint8_t> buffer_;
  size_t bufferPos_ = 0;   // next unread byte of buffer_
  size_t bufferLen_ = 0;   // valid bytes in buffer_
  int64_t filePos_ = 0;    // file offset of the OS handle (end of the buffered bytes)
  int64_t size_ = -1;      // cached size, dropped on every write
};

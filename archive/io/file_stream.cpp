// The buffered file stream.
#include "archive/io/file_stream.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {
constexpr size_t kReadBufferSize = 64 * 1024;
}

TQPFileStream::TQPFileStream(qp::platform::File file, std::u16string path)
    : file_(std::move(file)), path_(std::move(path)) {}

std::unique_ptr<TQPFileStream> TQPFileStream::Open(const std::u16string& path, uint16_t mode) {
  qp::platform::File file;
  if (!file.Open(path, mode)) return nullptr;
  return std::unique_ptr<TQPFileStream>(new TQPFileStream(std::move(file), path));
}

std::unique_ptr<TQPFileStream> TQPFileStream::Create(const std::u16string& path) {
  qp::platform::File file;
  if (!file.Create(path)) return nullptr;
  return std::unique_ptr<TQPFileStream>(new TQPFileStream(std::move(file), path));
}

std::unique_ptr<TQPFileStream> TQPFileStream::CreateNew(const std::u16string& path) {
  qp::platform::File file;
  if (!file.CreateNew(path)) return nullptr;
  return std::unique_ptr<TQPFileStream>(new TQPFileStream(std::move(file), path));
}

void TQPFileStream::DropBuffer() {
  if (bufferPos_ < bufferLen_) {
    // Put the OS position back where the caller believes it is.
    filePos_ -= static_cast<int64_t>(bufferLen_ - bufferPos_);
    file_.Seek(filePos_, qp::platform::SeekOrigin::Begin);
  }
  bufferPos_ = bufferLen_ = 0;
}

size_t TQPFileStream::Read(void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    if (bufferPos_ < bufferLen_) {
      size_t n = std::min(count - done, bufferLen_ - bufferPos_);
      std::memcpy(out + done, buffer_.data() + bufferPos_, n);
      bufferPos_ += n;
      done += n;
      continue;
    }
    size_t want = count - done;
    if (want >= kReadBufferSize) {
      // Large reads bypass the buffer: no extra copy for the 1 MiB data blocks.
      int64_t got = file_.Read(out + done, want);
      if (got < 0) throw EStreamIOError(true, file_.LastError());
      if (got == 0) break;
      filePos_ += got;
      done += static_cast<size_t>(got);
      continue;
    }
    if (buffer_.empty()) buffer_.resize(kReadBufferSize);
    int64_t got = file_.Read(buffer_.data(), kReadBufferSize);
    if (got < 0) throw EStreamIOError(true, file_.LastError());
    if (got == 0) break;
    filePos_ += got;
    bufferPos_ = 0;
    bufferLen_ = static_cast<size_t>(got);
  }
  return done;
}

size_t TQPFileStream::Write(const void* buffer, size_t count) {
  DropBuffer();
  size_ = -1;
  const int64_t written = file_.Write(buffer, count);
  if (written > 0) filePos_ += written;
  // Only a full medium is a short count; any other refusal is a failure with its cause.
  if (written < static_cast<int64_t>(count) && !qp::platform::IsDiskFullError(file_.LastError()))
    throw EStreamIOError(false, file_.LastError());
  return written > 0 ? static_cast<size_t>(written) : 0;
}

int64_t TQPFileStream::Seek(int64_t offset, qp::platform::SeekOrigin origin) {
  int64_t logical = filePos_ - static_cast<int64_t>(bufferLen_ - bufferPos_);
  int64_t target;
  switch (origin) {
    case qp::platform::SeekOrigin::Begin: target = offset; break;
    case qp::platform::SeekOrigin::Current: target = logical + offset; break;
    default: target = Size() + offset; break;
  }
  if (target < 0) throw EStreamError("Stream seek error");
  if (target == logical) return target;
  // A seek inside the buffered bytes just moves the cursor.
  int64_t bufferStart = filePos_ - static_cast<int64_t>(bufferLen_);
  if (bufferLen_ > 0 && target >= bufferStart && target <= filePos_) {
    bufferPos_ = static_cast<size_t>(target - bufferStart);
    return target;
  }
  bufferPos_ = bufferLen_ = 0;
  int64_t result = file_.Seek(target, qp::platform::SeekOrigin::Begin);
  if (result < 0) throw EStreamError("Stream seek error");
  filePos_ = result;
  return result;
}

int64_t TQPFileStream::Size() {
  if (size_ < 0) size_ = file_.Size();
  return size_;
}

bool TQPFileStream::Flush() { return file_.Flush(); }

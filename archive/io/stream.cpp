// TQPStream's whole-count helpers and the memory stream.
#include "archive/io/stream.h"

#include <algorithm>
#include <cstring>

void TQPStream::ReadBuffer(void* buffer, size_t count) {
  if (ReadFully(buffer, count) != count) throw EStreamError("Stream read error");
}

size_t TQPStream::ReadFully(void* buffer, size_t count) {
  size_t done = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (done < count) {
    const size_t got = Read(out + done, count - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

void TQPStream::WriteBuffer(const void* buffer, size_t count) {
  if (Write(buffer, count) != count) throw EStreamError("Stream write error");
}

int64_t TQPStream::CopyFrom(TQPStream& source, int64_t count) {
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
  int64_t copied = 0;
  while (copied < count) {
    size_t want = static_cast<size_t>(std::min<int64_t>(count - copied, buffer.size()));
    size_t got = source.Read(buffer.data(), want);
    if (got == 0) break;
    WriteBuffer(buffer.data(), got);
    copied += static_cast<int64_t>(got);
  }
  return copied;
}

size_t TQPMemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= data_.size()) return 0;
  size_t n = std::min(count, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

size_t TQPMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ += count;
  return count;
}

int64_t TQPMemoryStream::Seek(int64_t offset, qp::platform::SeekOrigin origin) {
  int64_t base = origin == qp::platform::SeekOrigin::Begin     ? 0
                 : origin == qp::platform::SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                 : static_cast<int64_t>(data_.size());
  int64_t target = base + offset;
  if (target < 0) throw EStreamError("Stream seek error");
  position_ = static_cast<size_t>(target);
  return target;
}

void TQPMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

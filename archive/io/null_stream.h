// TQPNullStream: a destination that takes every byte and keeps none, for checking items
// without writing them. It keeps a position and a size, so that callers that seek back to
// write again (after a full disk) see a file's behaviour.
#pragma once

#include <algorithm>

#include "archive/io/stream.h"

class TQPNullStream final : public TQPStream {
 public:
  // Nothing can be read back.
  [[nodiscard]] size_t Read(void*, size_t) override { return 0; }
  [[nodiscard]] size_t Write(const void*, size_t count) override {
    position_ += static_cast<int64_t>(count);
    size_ = std::max(size_, position_);
    return count;
  }
  int64_t Seek(int64_t offset, qp::platform::SeekOrigin origin) override {
    const int64_t base = origin == qp::platform::SeekOrigin::Begin ? 0
                         : origin == qp::platform::SeekOrigin::Current ? position_ : size_;
    if (base + offset < 0) throw EStreamError("Stream seek error");
    position_ = base + offset;
    return position_;
  }
  int64_t Size() override { return size_; }

 private:
  int64_t size_ = 0;
  int64_t position_ = 0;
};

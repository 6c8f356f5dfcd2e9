// What File does the same way on every platform: it owns one handle, closes it on
// destruction, and hands it over on a move. Open, Close and the I/O live with each platform.
#include "platform/platform.h"

namespace qp::platform {

File::~File() {
  Close();
}

File::File(File&& other) noexcept
    : handle_(other.handle_), lastError_(other.lastError_), writable_(other.writable_) {
  other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    lastError_ = other.lastError_;
    writable_ = other.writable_;
    other.handle_ = -1;
  }
  return *this;
}

}  // namespace qp::platform

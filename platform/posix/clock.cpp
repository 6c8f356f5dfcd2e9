// The high-resolution counter on POSIX: the monotonic clock in nanoseconds.
#include <ctime>

#include "platform/platform.h"

namespace qp::platform {

int64_t HighResCounter() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace qp::platform

// The high-resolution counter on Win32: the performance counter's raw ticks.
#include <windows.h>

#include "platform/platform.h"

namespace qp::platform {

int64_t HighResCounter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace qp::platform

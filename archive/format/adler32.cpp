// Adler-32: two sums modulo 65521, reduced once per 5552 bytes, the longest run whose sums
// cannot overflow 32 bits.
#include "archive/format/adler32.h"

namespace {
constexpr uint32_t kModulus = 65521;
constexpr size_t kLongestRun = 5552;
}  // namespace

uint32_t UpdateAdler32(uint32_t adler, const void* data, size_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t low = adler & 0xFFFF, high = adler >> 16;
  while (length > 0) {
    size_t run = length < kLongestRun ? length : kLongestRun;
    length -= run;
    while (run-- > 0) {
      low += *bytes++;
      high += low;
    }
    low %= kModulus;
    high %= kModulus;
  }
  return high << 16 | low;
}

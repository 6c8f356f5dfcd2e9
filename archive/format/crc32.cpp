// The CRC-32 of item data. Long runs go to the carry-less multiplication path where the
// processor has it (crc32_clmul.cpp); the rest, and every run on other processors, to the
// slicing tables: the first is the standard byte-at-a-time table, the other fifteen are
// derived from it so that sixteen bytes can be folded per step. Either way the result is bit
// for bit the one the byte-wise loop over the standard table gives.
// The tables are computed at first use rather than at compile time: 16 KB of constants in
// every self-extractor, against a few microseconds once per run.
#include "archive/format/crc32.h"

#include <array>

#include "archive/format/crc32_clmul.h"
#include "crypto/cpu_features.h"

namespace {

constexpr int kSlices = 16;
using Tables = std::array<std::array<uint32_t, 256>, kSlices>;

void FillTables(Tables& t) {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? kCrc32Polynomial ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  // t[s][n] is the CRC of byte n followed by s zero bytes.
  for (int s = 1; s < kSlices; ++s)
    for (uint32_t n = 0; n < 256; ++n) t[s][n] = (t[s - 1][n] >> 8) ^ t[0][t[s - 1][n] & 0xFF];
}

// Zero-initialised, so it takes no room in the program file; filled once.
Tables gTables;

const Tables& SlicingTables() {
  static const bool filled = (FillTables(gTables), true);
  (void)filled;
  return gTables;
}

inline uint32_t Load32(const uint8_t* p) {
  // Assembled byte by byte so the routine is independent of the host's byte order.
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Below this the set-up and the final reduction of the folding path cost more than they save.
constexpr size_t kClmulMinimum = 128;

uint32_t UpdateSliced(uint32_t crc, const uint8_t* p, size_t length) {
  const Tables& t = SlicingTables();
  while (length >= 16) {
    const uint32_t a = Load32(p) ^ crc;
    const uint32_t b = Load32(p + 4);
    const uint32_t c = Load32(p + 8);
    const uint32_t d = Load32(p + 12);
    crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
          t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
          t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
          t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    p += 16;
    length -= 16;
  }
  while (length-- > 0) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

}  // namespace

const uint32_t* Crc32Table() { return SlicingTables()[0].data(); }

uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (length < kClmulMinimum || !UseClmul()) return UpdateSliced(crc, p, length);
  uint8_t folded[16];
  const size_t consumed = FoldCrc32Clmul(crc, p, length, folded);
  return UpdateSliced(UpdateSliced(0, folded, sizeof folded), p + consumed, length - consumed);
}

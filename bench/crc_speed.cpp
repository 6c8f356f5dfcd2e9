// Throughput of the engine's CRC-32 on a 1 MiB buffer (the size of one inflate output chunk,
// cache-resident as the chunk just written is): the path chosen at run time, the slicing
// tables alone (the hardware switch off), and zlib's crc32 on the same buffer. Prints
// "name MB/s" lines (MB = 10^6 bytes), measured in CPU time, best of five runs.
#include <time.h>
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "archive/format/crc32.h"
#include "crypto/cpu_features.h"

namespace {

constexpr size_t kBuffer = size_t(1) << 20;
constexpr int kPasses = 2048;  // 2 GiB per run

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

unsigned g_sink = 0;

template <typename F>
double Rate(F crcOfBuffer) {
  double best = 0;
  for (int run = 0; run < 5; ++run) {
    const double start = CpuSeconds();
    for (int i = 0; i < kPasses; ++i) g_sink += crcOfBuffer();
    const double rate = double(kBuffer) * kPasses / (CpuSeconds() - start) / 1e6;
    if (rate > best) best = rate;
  }
  return best;
}

}  // namespace

int main() {
  std::vector<uint8_t> data(kBuffer);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131 + 7 + (i >> 12));
  const uint32_t expected = crc32(0, data.data(), static_cast<uInt>(data.size()));
  auto engine = [&] { return ~UpdateCrc32(0xFFFFFFFFu, data.data(), data.size()); };
  if (engine() != expected) {
    std::fprintf(stderr, "CRC mismatch with zlib\n");
    return 1;
  }
  std::printf("# PCLMULQDQ %s\n", CpuHasClmul() ? "yes" : "no");
  std::printf("%-20s %10.1f MB/s\n", "quillpack", Rate(engine));
  SetCryptoHardwareEnabled(false);
  std::printf("%-20s %10.1f MB/s\n", "quillpack-slicing", Rate(engine));
  SetCryptoHardwareEnabled(true);
  std::printf("%-20s %10.1f MB/s\n", "zlib-crc32",
              Rate([&] { return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))); }));
  return g_sink == 0xFFFFFFFFu;
}

// Throughput of the crypto primitives over 128 MiB: AES-256 in counter mode (fed in 1 MiB
// blocks, as the engine decrypts items), SHA-1 and HMAC-SHA1; on the path chosen at run time
// (hardware where available) and on the portable path. Prints "name MB/s" lines (MB = 10^6
// bytes, as openssl speed counts), measured in CPU time as openssl speed does.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crypto/cpu_features.h"
#include "crypto/hmac.h"
#include "crypto/rijndael.h"
#include "crypto/sha1.h"

namespace {

constexpr size_t kTotal = size_t(128) << 20;
// The piece handed to each call (1 MiB, the engine's block) and the buffer size: by default a
// 128 MiB buffer (memory-bound, as an item is); --buffer N cycles over an N-byte buffer
// instead (cache-resident, as openssl speed measures with 16 KiB).
size_t kChunk = size_t(1) << 20;
size_t g_buffer = kTotal;

// CPU time of the process, as openssl speed measures by default (not wall-clock), so that
// other load on the machine does not skew one side of the comparison.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <typename F>
double Rate(F f) {
  double best = 0;
  for (int run = 0; run < 3; ++run) {
    const double start = CpuSeconds();
    f();
    const double seconds = CpuSeconds() - start;
    const double rate = double(kTotal) / seconds / 1e6;
    if (rate > best) best = rate;
  }
  return best;
}

unsigned g_sink = 0;

void RunAll(std::vector<uint8_t>& data, const char* label) {
  const uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                           17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
  const double aes = Rate([&] {
    TCipher_Rijndael cipher(key, 32);
    cipher.SetMode(cmCounterMode);
    for (size_t done = 0; done < kTotal; done += kChunk) cipher.EncryptData(data.data() + done % g_buffer, data.data() + done % g_buffer, kChunk);
  });
  uint8_t digest[20];
  const double sha = Rate([&] {
    TSHA1Context ctx;
    SHA1Init(ctx);
    for (size_t done = 0; done < kTotal; done += kChunk) SHA1Update(ctx, data.data() + done % g_buffer, kChunk);
    SHA1Final(ctx, digest);
    g_sink += digest[0];
  });
  const double hmac = Rate([&] {
    THMACContext ctx;
    HmacStart(ctx, SHA1Descriptor(), key, 20);
    for (size_t done = 0; done < kTotal; done += kChunk) HmacUpdate(ctx, data.data() + done % g_buffer, kChunk);
    HmacFinish(ctx, digest);
    g_sink += digest[0];
  });
  std::printf("%-10s aes-256-ctr %10.1f MB/s\n", label, aes);
  std::printf("%-10s sha1        %10.1f MB/s\n", label, sha);
  std::printf("%-10s hmac-sha1   %10.1f MB/s\n", label, hmac);
}

}  // namespace

int main(int argc, char** argv) {
  bool portable = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--with-portable") == 0) portable = true;
    if (std::strcmp(argv[i], "--buffer") == 0 && i + 1 < argc) {
      g_buffer = std::strtoull(argv[++i], nullptr, 0);
      if (g_buffer == 0 || kTotal % g_buffer) return 2;
      if (g_buffer < kChunk) kChunk = g_buffer;
    }
  }
  std::vector<uint8_t> data(g_buffer);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131 + 7);
  std::printf("# AES-NI %s, SHA-NI %s\n", CpuHasAesNi() ? "yes" : "no", CpuHasShaNi() ? "yes" : "no");
  RunAll(data, "quillpack");
  if (portable) {
    SetCryptoHardwareEnabled(false);
    RunAll(data, "portable");
  }
  return g_sink == 0xFFFFFFFFu;
}

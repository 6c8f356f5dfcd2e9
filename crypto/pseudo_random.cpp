#include "crypto/pseudo_random.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <x86intrin.h>
#else
#include <chrono>
#endif

namespace {

std::atomic<RandomSeedSource> g_seedSource{nullptr};

// splitmix64: small, and enough for provisional salts, which are replaced before use.
uint64_t NextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

uint64_t DefaultRandomSeed() {
#if defined(__i386__) || defined(__x86_64__)
  // The processor's time-stamp counter: as fine-grained as any clock, and read without a call
  // into the C++ library's clocks, which on Windows bring a thread emulation layer along.
  return __rdtsc();
#else
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

void SetRandomSeedSource(RandomSeedSource source) { g_seedSource.store(source); }

void FillRandomBelow255(uint8_t* out, size_t length) {
  const RandomSeedSource source = g_seedSource.load();
  const uint64_t seed = source ? source() : DefaultRandomSeed();
  uint64_t state = seed;
  for (size_t i = 0; i < length; ++i) {
    // Rejection keeps the 255 values equally likely.
    uint8_t value;
    do {
      value = static_cast<uint8_t>(NextRandom(state));
    } while (value == 255);
    out[i] = value;
  }
}

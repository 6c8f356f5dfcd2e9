#include "crypto/pseudo_random.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>

namespace {

std::atomic<RandomSeedSource> g_seedSource{nullptr};

std::mutex& GeneratorLock() {
  static std::mutex lock;
  return lock;
}

std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

}  // namespace

uint64_t DefaultRandomSeed() {
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

void SetRandomSeedSource(RandomSeedSource source) { g_seedSource.store(source); }

void FillRandomBelow255(uint8_t* out, size_t length) {
  const RandomSeedSource source = g_seedSource.load();
  const uint64_t seed = source ? source() : DefaultRandomSeed();
  std::lock_guard<std::mutex> guard(GeneratorLock());
  std::seed_seq sequence{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32)};
  std::mt19937& generator = Generator();
  generator.seed(sequence);
  std::uniform_int_distribution<int> below255(0, 254);
  for (size_t i = 0; i < length; ++i) out[i] = static_cast<uint8_t>(below255(generator));
}

#include "crypto/cpu_features.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

struct Features {
  bool aes = false;
  bool sha = false;
  bool clmul = false;
};

Features Detect() {
  Features f;
#if defined(__i386__) || defined(__x86_64__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
  const bool ssse3 = (c & (1u << 9)) != 0;
  const bool sse41 = (c & (1u << 19)) != 0;
  const bool aes = (c & (1u << 25)) != 0;
  f.aes = ssse3 && sse41 && aes;
  f.clmul = sse41 && (c & (1u << 1)) != 0;
  if (__get_cpuid_max(0, nullptr) >= 7) {
    __cpuid_count(7, 0, a, b, c, d);
    f.sha = ssse3 && sse41 && (b & (1u << 29)) != 0;
  }
#endif
  return f;
}

const Features& Get() {
  static const Features features = Detect();
  return features;
}

std::atomic<bool> g_enabled{true};

}  // namespace

bool CpuHasAesNi() { return Get().aes; }
bool CpuHasShaNi() { return Get().sha; }
bool CpuHasClmul() { return Get().clmul; }
void SetCryptoHardwareEnabled(bool enabled) { g_enabled.store(enabled, std::memory_order_relaxed); }
bool CryptoHardwareEnabled() { return g_enabled.load(std::memory_order_relaxed); }
bool UseAesNi() { return CryptoHardwareEnabled() && CpuHasAesNi(); }
bool UseShaNi() { return CryptoHardwareEnabled() && CpuHasShaNi(); }
bool UseClmul() { return CryptoHardwareEnabled() && CpuHasClmul(); }

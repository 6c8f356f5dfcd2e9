// Helpers shared by the crypto tests: hex conversion, a deterministic byte generator and a
// fixture that runs a test on the portable path and on the hardware path.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "crypto/cpu_features.h"

inline std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::string ToHex(const uint8_t* p, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}
inline std::string ToHex(const std::vector<uint8_t>& v) { return ToHex(v.data(), v.size()); }

inline std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Parameter: true = hardware path (skipped where the processor lacks it), false = portable.
enum class Path { Portable, Hardware };

inline std::string PathName(const testing::TestParamInfo<Path>& info) {
  return info.param == Path::Hardware ? "Hardware" : "Portable";
}

class BothPaths : public testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    if (GetParam() == Path::Hardware && !(CpuHasAesNi() || CpuHasShaNi()))
      GTEST_SKIP() << "no AES-NI or SHA-NI on this processor";
    SetCryptoHardwareEnabled(GetParam() == Path::Hardware);
  }
  void TearDown() override { SetCryptoHardwareEnabled(true); }
  bool WantAes() const { return GetParam() == Path::Hardware ? CpuHasAesNi() : false; }
  bool WantSha() const { return GetParam() == Path::Hardware ? CpuHasShaNi() : false; }
};

#define QP_BOTH_PATHS(Suite) \
  INSTANTIATE_TEST_SUITE_P(Paths, Suite, testing::Values(Path::Portable, Path::Hardware), PathName)

// The CRC-32 on both of its paths (carry-less folding where the processor has it, and the
// slicing tables) against the plain byte-wise loop over the standard table and against zlib:
// random lengths, alignments and split points, and long runs.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <vector>

#include "archive/format/crc32.h"
#include "crypto/cpu_features.h"

namespace {

enum class Path { Slicing, Clmul };

class Crc32Test : public testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    if (GetParam() == Path::Clmul && !CpuHasClmul()) GTEST_SKIP() << "no PCLMULQDQ on this processor";
    SetCryptoHardwareEnabled(GetParam() == Path::Clmul);
  }
  void TearDown() override { SetCryptoHardwareEnabled(true); }
};

INSTANTIATE_TEST_SUITE_P(Paths, Crc32Test, testing::Values(Path::Slicing, Path::Clmul),
                         [](const testing::TestParamInfo<Path>& info) {
                           return info.param == Path::Clmul ? "Clmul" : "Slicing";
                         });

uint32_t Bytewise(uint32_t crc, const uint8_t* p, size_t length) {
  const uint32_t* table = Crc32Table();
  for (size_t i = 0; i < length; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// The CRC of p[0, length) fed in pieces cut at the given points (ascending, within length).
uint32_t InPieces(const uint8_t* p, size_t length, const std::vector<size_t>& cuts) {
  uint32_t crc = 0xFFFFFFFFu;
  size_t at = 0;
  for (size_t cut : cuts) {
    crc = UpdateCrc32(crc, p + at, cut - at);
    at = cut;
  }
  return UpdateCrc32(crc, p + at, length - at);
}

TEST_P(Crc32Test, KnownValues) {
  EXPECT_EQ(UseClmul(), GetParam() == Path::Clmul);
  EXPECT_EQ(~UpdateCrc32(0xFFFFFFFFu, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(~UpdateCrc32(0xFFFFFFFFu, nullptr, 0), 0u);
  // Long runs against zlib, which knows nothing of our tables.
  const std::vector<uint8_t> zeros(300000, 0);
  EXPECT_EQ(~UpdateCrc32(0xFFFFFFFFu, zeros.data(), zeros.size()), crc32(0, zeros.data(), zeros.size()));
  std::mt19937 rng(11);
  const std::vector<uint8_t> data = RandomBytes(rng, 3 << 20);
  EXPECT_EQ(~UpdateCrc32(0xFFFFFFFFu, data.data(), data.size()),
            crc32(0, data.data(), static_cast<uInt>(data.size())));
}

TEST_P(Crc32Test, RandomLengthsAlignmentsAndSplitsEqualBytewiseLoop) {
  std::mt19937 rng(3);
  const std::vector<uint8_t> data = RandomBytes(rng, 8192 + 64);
  for (int round = 0; round < 3000; ++round) {
    // Every length up to 600 once (around the switch between the paths and the 16- and
    // 64-byte steps), then random ones up to 8 KiB.
    const size_t length = round <= 600 ? static_cast<size_t>(round) : rng() % 8193;
    const size_t offset = rng() % 64;
    const uint8_t* p = data.data() + offset;
    const uint32_t expected = Bytewise(0xFFFFFFFFu, p, length);
    ASSERT_EQ(UpdateCrc32(0xFFFFFFFFu, p, length), expected) << "offset " << offset << " length " << length;
    std::vector<size_t> cuts;
    for (int i = static_cast<int>(rng() % 4); i > 0; --i) cuts.push_back(length ? rng() % (length + 1) : 0);
    std::sort(cuts.begin(), cuts.end());
    ASSERT_EQ(InPieces(p, length, cuts), expected) << "offset " << offset << " length " << length;
  }
}

TEST_P(Crc32Test, LongRunsInPiecesEqualBytewiseLoop) {
  std::mt19937 rng(5);
  const std::vector<uint8_t> data = RandomBytes(rng, (5 << 20) + 64);
  for (size_t length : {size_t(1) << 20, (size_t(1) << 20) + 13, (size_t(5) << 20) - 7}) {
    const size_t offset = rng() % 64;
    const uint8_t* p = data.data() + offset;
    const uint32_t expected = Bytewise(0xFFFFFFFFu, p, length);
    EXPECT_EQ(UpdateCrc32(0xFFFFFFFFu, p, length), expected) << length;
    // As the decoder feeds it: pieces of an inflate call's size, and odd ones.
    EXPECT_EQ(InPieces(p, length, {65535, 65535 * 2, (1 << 20) - 1}), expected) << length;
  }
}

}  // namespace

// Adler-32 against zlib's: lengths around the 5552-byte reduction run, bytes of 0xFF (the sums'
// worst case), split points, and a zlib-wrapped stream's trailer.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "archive/format/adler32.h"

namespace {

uint32_t Zlib(uint32_t adler, const std::vector<uint8_t>& bytes, size_t from, size_t length) {
  return static_cast<uint32_t>(adler32(adler, bytes.data() + from, static_cast<uInt>(length)));
}

TEST(Adler32, MatchesZlibAcrossReductionRunsAndSplits) {
  std::mt19937 rng(1950);
  std::vector<uint8_t> random(3 * 5552 + 77), ones(random.size(), 0xFF);
  for (auto& b : random) b = static_cast<uint8_t>(rng());
  for (const auto* bytes : {&random, &ones}) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{5551}, size_t{5552}, size_t{5553}, bytes->size()}) {
      EXPECT_EQ(UpdateAdler32(1, bytes->data(), length), Zlib(1, *bytes, 0, length)) << length;
    }
    for (size_t split : {size_t{1}, size_t{4000}, size_t{5552}, size_t{11000}}) {
      const uint32_t first = UpdateAdler32(1, bytes->data(), split);
      EXPECT_EQ(UpdateAdler32(first, bytes->data() + split, bytes->size() - split), Zlib(1, *bytes, 0, bytes->size()))
          << split;
    }
  }
}

TEST(Adler32, EqualsTheTrailerOfAZlibStream) {
  std::vector<uint8_t> text(100000);
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>("adler checksum "[i % 15]);
  std::vector<uint8_t> packed(compressBound(static_cast<uLong>(text.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  ASSERT_EQ(compress(packed.data(), &packedSize, text.data(), static_cast<uLong>(text.size())), Z_OK);
  const uint8_t* trailer = packed.data() + packedSize - 4;
  const uint32_t stored = uint32_t(trailer[0]) << 24 | uint32_t(trailer[1]) << 16 | uint32_t(trailer[2]) << 8 | trailer[3];
  EXPECT_EQ(UpdateAdler32(1, text.data(), text.size()), stored);
}

}  // namespace

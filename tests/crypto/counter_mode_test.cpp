// Counter mode (mode 4): the little-endian counter over the first 8
// bytes, carry dropped after byte 7, the first key-stream block the encryption of 01 00 .. 00,
// the position carried across calls; on both paths.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/rijndael.h"
#include "crypto_test_util.h"

namespace {

class CounterModeTest : public BothPaths {};
QP_BOTH_PATHS(CounterModeTest);

const std::vector<uint8_t> kKey = FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");

// The key stream by definition: encrypt counter blocks one by one (ECB on a separate cipher).
std::vector<uint8_t> ReferenceKeyStream(const std::vector<uint8_t>& key, uint8_t start[16], size_t blocks) {
  TCipher_Rijndael ecb(key.data(), static_cast<int>(key.size()));
  std::vector<uint8_t> out;
  for (size_t b = 0; b < blocks; ++b) {
    for (int i = 0; i < 8; ++i)
      if (++start[i] != 0) break;
    uint8_t block[16];
    std::memcpy(block, start, 16);
    ecb.EncodeBlock(block);
    out.insert(out.end(), block, block + 16);
  }
  return out;
}

TEST_P(CounterModeTest, FirstKeyStreamBlockEncryptsCounterOne) {
  TCipher_Rijndael aes(kKey.data(), 32);
  aes.SetMode(cmCounterMode);
  EXPECT_EQ(aes.CounterPosition(), 16);
  uint8_t zeros[16] = {};
  aes.EncryptData(zeros, zeros, 16);
  uint8_t one[16] = {1};
  TCipher_Rijndael ecb(kKey.data(), 32);
  ecb.EncodeBlock(one);
  EXPECT_EQ(0, std::memcmp(zeros, one, 16));
  EXPECT_EQ(aes.CounterBlock()[0], 1);
}

TEST_P(CounterModeTest, OneThenThirtyOneBytesEqualThirtyTwo) {
  std::vector<uint8_t> data(32);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13);
  TCipher_Rijndael whole(kKey.data(), 32), split(kKey.data(), 32);
  whole.SetMode(cmCounterMode);
  split.SetMode(cmCounterMode);
  std::vector<uint8_t> a(32), b(32);
  whole.EncryptData(data.data(), a.data(), 32);
  split.EncryptData(data.data(), b.data(), 1);
  split.EncryptData(data.data() + 1, b.data() + 1, 31);
  EXPECT_EQ(a, b);
  // Decryption is the same operation.
  TCipher_Rijndael dec(kKey.data(), 32);
  dec.SetMode(cmCounterMode);
  dec.DecryptData(b.data(), b.data(), 1);
  dec.DecryptData(b.data() + 1, b.data() + 1, 31);
  EXPECT_EQ(b, data);
}

TEST_P(CounterModeTest, AnyChunkingEqualsOneCall) {
  std::mt19937 rng(7);
  const auto data = RandomBytes(rng, 5000);
  for (int keyLength : {16, 24, 32}) {
    TCipher_Rijndael whole(kKey.data(), keyLength);
    whole.SetMode(cmCounterMode);
    std::vector<uint8_t> expected(data.size());
    whole.EncryptData(data.data(), expected.data(), data.size());
    uint8_t counter[16] = {};
    const auto ks = ReferenceKeyStream(std::vector<uint8_t>(kKey.begin(), kKey.begin() + keyLength), counter,
                                       (data.size() + 15) / 16);
    for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(expected[i], data[i] ^ ks[i]) << i;
    for (int trial = 0; trial < 30; ++trial) {
      TCipher_Rijndael chunked(kKey.data(), keyLength);
      chunked.SetMode(cmCounterMode);
      std::vector<uint8_t> out = data;  // in place
      size_t done = 0;
      while (done < out.size()) {
        const size_t n = std::min<size_t>(out.size() - done, rng() % (trial < 10 ? 40 : 700));
        chunked.EncryptData(out.data() + done, out.data() + done, n);
        done += n;
      }
      ASSERT_EQ(out, expected) << "trial " << trial;
    }
  }
}

TEST_P(CounterModeTest, CarryIntoSecondByte) {
  // 256 blocks: the counter's first byte wraps and carries into the second.
  TCipher_Rijndael aes(kKey.data(), 32);
  aes.SetMode(cmCounterMode);
  std::vector<uint8_t> data(16 * 260, 0);
  aes.EncryptData(data.data(), data.data(), data.size());
  uint8_t counter[16] = {};
  EXPECT_EQ(data, ReferenceKeyStream(kKey, counter, 260));
  EXPECT_EQ(aes.CounterBlock()[0], 260 % 256);
  EXPECT_EQ(aes.CounterBlock()[1], 1);
}

TEST_P(CounterModeTest, CarryStopsAfterEighthByte) {
  TCipher_Rijndael aes(kKey.data(), 32);
  aes.SetMode(cmCounterMode);
  uint8_t start[16] = {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
  aes.SetCounterBlock(start);
  std::vector<uint8_t> data(16 * 40, 0);  // enough for the wide hardware loop
  aes.EncryptData(data.data(), data.data(), data.size());
  // Blocks: FF..FF 00.., then 00..00 00.. (bytes 8-15 never touched), then 01 00...
  uint8_t reference[16];
  std::memcpy(reference, start, 16);
  EXPECT_EQ(data, ReferenceKeyStream(kKey, reference, 40));
  uint8_t second[16] = {};
  TCipher_Rijndael ecb(kKey.data(), 32);
  ecb.EncodeBlock(second);
  EXPECT_EQ(0, std::memcmp(data.data() + 16, second, 16)) << "the counter wrapped to all zeros";
  for (int i = 8; i < 16; ++i) EXPECT_EQ(aes.CounterBlock()[i], 0);
  EXPECT_EQ(aes.CounterBlock()[0], 38);
}

TEST_P(CounterModeTest, ReInitResetsCounterAndPosition) {
  TCipher_Rijndael aes(kKey.data(), 32);
  aes.SetMode(cmCounterMode);
  std::vector<uint8_t> first(21, 0), again(21, 0);
  aes.EncryptData(first.data(), first.data(), first.size());
  EXPECT_EQ(aes.CounterPosition(), 5);
  aes.InitKey(kKey.data(), 32);
  EXPECT_EQ(aes.CounterPosition(), 16);
  aes.EncryptData(again.data(), again.data(), again.size());
  EXPECT_EQ(first, again);
}

}  // namespace

// TCipher_Rijndael: FIPS-197 appendix C, key handling, and the portable and AES-NI paths.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/rijndael.h"
#include "crypto_test_util.h"

namespace {

class RijndaelTest : public BothPaths {};
QP_BOTH_PATHS(RijndaelTest);

struct Vector {
  const char* key;
  const char* cipher;
  int rounds;
};

const Vector kFips197[] = {
    {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a", 10},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191", 12},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "8ea2b7ca516745bfeafc49904b496089", 14},
};

TEST_P(RijndaelTest, Fips197AppendixC) {
  for (const auto& v : kFips197) {
    const auto key = FromHex(v.key);
    TCipher_Rijndael aes(key.data(), static_cast<int>(key.size()));
    EXPECT_EQ(aes.UsesHardware(), WantAes());
    EXPECT_EQ(aes.Rounds(), v.rounds);
    auto block = FromHex("00112233445566778899aabbccddeeff");
    aes.EncodeBlock(block.data());
    EXPECT_EQ(ToHex(block), v.cipher) << v.key;
    aes.DecodeBlock(block.data());
    EXPECT_EQ(ToHex(block), "00112233445566778899aabbccddeeff") << v.key;
  }
}

TEST_P(RijndaelTest, EcbModeMatchesBlocks) {
  const auto key = FromHex(kFips197[2].key);
  TCipher_Rijndael aes(key.data(), 32);
  aes.SetMode(cmECB);
  auto data = FromHex("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
  aes.EncryptData(data.data(), data.data(), data.size());
  EXPECT_EQ(ToHex(data), std::string(kFips197[2].cipher) + kFips197[2].cipher);
  aes.DecryptData(data.data(), data.data(), data.size());
  EXPECT_EQ(ToHex(data), "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
}

TEST_P(RijndaelTest, FortyByteKeyActsAsItsFirst32Bytes) {
  std::vector<uint8_t> key(40);
  for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
  TCipher_Rijndael longKey(key.data(), 40);
  TCipher_Rijndael cut(key.data(), 32);
  EXPECT_EQ(longKey.Rounds(), 14);
  longKey.SetMode(cmCounterMode);
  cut.SetMode(cmCounterMode);
  std::vector<uint8_t> a(100, 0x11), b(100, 0x11);
  longKey.EncryptData(a.data(), a.data(), a.size());
  cut.EncryptData(b.data(), b.data(), b.size());
  EXPECT_EQ(a, b);
  // Init directly cuts too.
  TCipher_Rijndael direct;
  direct.Init(key.data(), 40, nullptr);
  uint8_t x[16] = {}, y[16] = {};
  direct.EncodeBlock(x);
  cut.EncodeBlock(y);
  EXPECT_EQ(0, std::memcmp(x, y, 16));
}

TEST_P(RijndaelTest, RoundsByKeyLength) {
  const uint8_t key[32] = {1};
  TCipher_Rijndael aes;
  const std::pair<int, int> expected[] = {{-5, 10}, {0, 10}, {1, 10}, {16, 10}, {17, 12},
                                          {24, 12}, {25, 14}, {32, 14}, {33, 14}};
  for (auto [length, rounds] : expected) {
    aes.Init(key, length, nullptr);
    EXPECT_EQ(aes.Rounds(), rounds) << length;
  }
}

TEST_P(RijndaelTest, ShortKeyIsZeroPadded) {
  // A 5-byte key acts as those 5 bytes followed by 11 zeros (AES-128).
  const uint8_t key[16] = {9, 8, 7, 6, 5};
  TCipher_Rijndael shortKey(key, 5), full(key, 16);
  uint8_t a[16] = {1, 2, 3}, b[16] = {1, 2, 3};
  shortKey.EncodeBlock(a);
  full.EncodeBlock(b);
  EXPECT_EQ(0, std::memcmp(a, b, 16));
}

TEST(RijndaelContext, QueryContextAndSelfTest) {
  TCipher_Rijndael aes;
  const TCipherContext c = aes.QueryContext();
  EXPECT_EQ(c.blockSize, 16);
  EXPECT_EQ(c.maxKeySize, 32);
  EXPECT_EQ(c.userSize, 480);
  EXPECT_EQ(aes.BlockSize(), 16);
  EXPECT_STREQ(aes.ClassName(), "TCipher_Rijndael");
  try {
    aes.SelfTest();
    FAIL();
  } catch (const ECipherException&) {
    FAIL() << "a plain exception is expected";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Not implemented 20");
  }
}

TEST(RijndaelPaths, HardwareAndPortableAgreeOnRandomKeys) {
  if (!CpuHasAesNi()) GTEST_SKIP() << "no AES-NI";
  std::mt19937 rng(42);
  for (int round = 0; round < 300; ++round) {
    const int keyLength = 16 + 8 * (round % 3);
    const auto key = RandomBytes(rng, static_cast<size_t>(keyLength));
    const auto data = RandomBytes(rng, 16 * (1 + rng() % 20));
    SetCryptoHardwareEnabled(true);
    TCipher_Rijndael hw(key.data(), keyLength);
    SetCryptoHardwareEnabled(false);
    TCipher_Rijndael sw(key.data(), keyLength);
    SetCryptoHardwareEnabled(true);
    ASSERT_TRUE(hw.UsesHardware());
    ASSERT_FALSE(sw.UsesHardware());
    for (TCipherMode mode : {cmECB, cmCBC, cmCTS, cmCounterMode}) {
      hw.SetMode(mode);
      sw.SetMode(mode);
      auto a = data, b = data;
      hw.EncryptData(a.data(), a.data(), a.size());
      sw.EncryptData(b.data(), b.data(), b.size());
      ASSERT_EQ(a, b) << "mode " << int(mode);
      hw.DecryptData(a.data(), a.data(), a.size());
      sw.DecryptData(b.data(), b.data(), b.size());
      ASSERT_EQ(a, b) << "mode " << int(mode);
    }
  }
}

}  // namespace

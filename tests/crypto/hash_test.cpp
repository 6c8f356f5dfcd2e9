// SHA-1 (FIPS 180 vectors, both paths), the hash registry, HMAC-SHA1 (RFC 2202).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "crypto/hash_registry.h"
#include "crypto/hmac.h"
#include "crypto/sha1.h"
#include "crypto_test_util.h"

namespace {

class Sha1Test : public BothPaths {};
QP_BOTH_PATHS(Sha1Test);

std::string Sha1Hex(const std::string& s) {
  uint8_t d[20];
  SHA1Full(s.data(), s.size(), d);
  return ToHex(d, 20);
}

TEST_P(Sha1Test, Fips180Vectors) {
  EXPECT_EQ(UseShaNi(), WantSha());
  EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Sha1Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
            "a49b2446a02c645bf419f995b67091253a04a259");
}

TEST_P(Sha1Test, OneMillionA) {
  TSHA1Context ctx;
  SHA1Init(ctx);
  const std::string chunk(1000, 'a');
  for (int i = 0; i < 1000; ++i) SHA1Update(ctx, chunk.data(), chunk.size());
  uint8_t d[20];
  SHA1Final(ctx, d);
  EXPECT_EQ(ToHex(d, 20), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST_P(Sha1Test, ContextIsClearedAfterFinishing) {
  TSHA1Context ctx;
  SHA1Init(ctx);
  SHA1Update(ctx, "abc", 3);
  uint8_t d[20];
  SHA1Final(ctx, d);
  TSHA1Context zero;
  std::memset(&zero, 0, sizeof zero);
  EXPECT_EQ(0, std::memcmp(&ctx, &zero, sizeof ctx));
}

TEST(Sha1Paths, HardwareAndPortableAgree) {
  if (!CpuHasShaNi()) GTEST_SKIP() << "no SHA-NI";
  std::mt19937 rng(5);
  for (int i = 0; i < 200; ++i) {
    const auto data = RandomBytes(rng, rng() % 3000);
    uint8_t a[20], b[20];
    SetCryptoHardwareEnabled(true);
    SHA1Full(data.data(), data.size(), a);
    SetCryptoHardwareEnabled(false);
    SHA1Full(data.data(), data.size(), b);
    SetCryptoHardwareEnabled(true);
    ASSERT_EQ(ToHex(a, 20), ToHex(b, 20)) << data.size();
  }
}

TEST(HashRegistry, Sha1InSlot3) {
  const HashDescriptor* d = FindHashById(3);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d, &SHA1Descriptor());
  EXPECT_EQ(d->signature, 0x3D7A);
  EXPECT_EQ(d->size, 80);
  EXPECT_EQ(d->version, 0x00010003u);
  EXPECT_EQ(d->blockLength, 64);
  EXPECT_EQ(d->digestLength, 20);
  EXPECT_EQ(d->algorithm, 3);
  EXPECT_STREQ(d->name, "SHA1");
  for (int i : {-1, 0, 1, 2, 4, 5, 6, 7, 8, 9, 200}) EXPECT_EQ(FindHashById(i), nullptr) << i;
}

TEST(HashRegistry, FindByNameIgnoresAsciiCase) {
  RegisterStandardHashes();  // idempotent
  for (const char* name : {"SHA1", "sha1", "Sha1", "sHa1"}) EXPECT_EQ(FindHashByName(name), &SHA1Descriptor()) << name;
  for (const char* name : {"", "SHA", "SHA-1", "SHA1 ", "MD5", "SHA256"}) EXPECT_EQ(FindHashByName(name), nullptr) << name;
  // The name is cut to 19 characters before comparing.
  EXPECT_EQ(FindHashByName("SHA1xxxxxxxxxxxxxxxxxxxxxx"), nullptr);
}

TEST(HashRegistry, DescriptorRoutinesHash) {
  const HashDescriptor* d = FindHashByName("sha1");
  ASSERT_NE(d, nullptr);
  THashContext ctx;
  d->init(ctx);
  d->update(ctx, "ab", 2);
  d->update(ctx, "c", 1);
  uint8_t digest[20];
  d->finalize(ctx, digest);
  EXPECT_EQ(ToHex(digest, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

struct HmacCase {
  std::vector<uint8_t> key;
  std::string data;
  const char* mac;
};

class HmacTest : public BothPaths {};
QP_BOTH_PATHS(HmacTest);

TEST_P(HmacTest, Rfc2202) {
  const HmacCase cases[] = {
      {std::vector<uint8_t>(20, 0x0b), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {{'J', 'e', 'f', 'e'}, "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::vector<uint8_t>(20, 0xaa), std::string(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {FromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd'),
       "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {std::vector<uint8_t>(20, 0x0c), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {std::vector<uint8_t>(80, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::vector<uint8_t>(80, 0xaa), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const auto& c : cases) {
    THMACContext ctx;
    HmacStart(ctx, *FindHashByName("SHA1"), c.key.data(), c.key.size());
    // Fed in two pieces to exercise update.
    const size_t half = c.data.size() / 2;
    HmacUpdate(ctx, c.data.data(), half);
    HmacUpdate(ctx, c.data.data() + half, c.data.size() - half);
    uint8_t mac[20];
    HmacFinish(ctx, mac);
    EXPECT_EQ(ToHex(mac, 20), c.mac);
  }
}

}  // namespace

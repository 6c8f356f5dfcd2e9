// PBKDF2-HMAC-SHA1 (RFC 6070), the core's return codes, and TPBKDF2.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "crypto/pbkdf2.h"
#include "crypto/pseudo_random.h"
#include "crypto_test_util.h"

namespace {

std::string DeriveHex(const std::string& password, const std::string& salt, uint32_t iterations, uint16_t length) {
  std::vector<uint8_t> out(length);
  EXPECT_EQ(Pbkdf2(FindHashById(3), password.data(), password.size(), salt.data(), salt.size(), iterations,
                   out.data(), length),
            kPbkdf2Ok);
  return ToHex(out);
}

class Pbkdf2Test : public BothPaths {};
QP_BOTH_PATHS(Pbkdf2Test);

TEST_P(Pbkdf2Test, Rfc6070) {
  EXPECT_EQ(DeriveHex("password", "salt", 1, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
  EXPECT_EQ(DeriveHex("password", "salt", 2, 20), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
  EXPECT_EQ(DeriveHex("password", "salt", 4096, 20), "4b007901b765489abead49d926f721d065a429c1");
  EXPECT_EQ(DeriveHex("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
            "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
  EXPECT_EQ(DeriveHex(std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16),
            "56fa6aa75548099dcc37d7f03425e0c3");
}

// 16 777 216 iterations: a few seconds natively, far longer under the sanitizers; run it with
// --gtest_also_run_disabled_tests.
TEST(Pbkdf2Long, DISABLED_Rfc6070SixteenMillionIterations) {
  EXPECT_EQ(DeriveHex("password", "salt", 16777216, 20), "eefe3d61cd4da4e4e9945b3d6ba2158c2634e984");
}

TEST(Pbkdf2Core, ReturnCodes) {
  uint8_t out[20];
  EXPECT_EQ(Pbkdf2(nullptr, "p", 1, "s", 1, 1, out, 20), kPbkdf2NoHash);
  HashDescriptor broken = *FindHashById(3);
  broken.digestLength = 0;
  EXPECT_EQ(Pbkdf2(&broken, "p", 1, "s", 1, 1, out, 20), kPbkdf2NoDigestLength);
  EXPECT_EQ(Pbkdf2(FindHashById(3), "p", 1, "s", 1, 1, out, 0), kPbkdf2Ok);
}

TEST(TPBKDF2Test, WithSaltCopiesAndDerives) {
  std::vector<uint8_t> salt = {'s', 'a', 'l', 't'};
  auto kdf = TPBKDF2::CreateWithSalt("password", 4096, 4, salt.data());
  salt[0] = 'X';  // the object holds its own copy
  const auto copy = kdf->GetSalt();
  EXPECT_EQ(copy, (std::vector<uint8_t>{'s', 'a', 'l', 't'}));
  EXPECT_EQ(ToHex(kdf->DeriveKey(20)), "4b007901b765489abead49d926f721d065a429c1");
  // The engine's AES-256 use: 2 * 32 + 2 bytes, 1000 iterations.
  auto aes = TPBKDF2::CreateWithSalt("secret", 1000, 16, FromHex("000102030405060708090a0b0c0d0e0f").data());
  const auto key = aes->DeriveKey(66);
  ASSERT_EQ(key.size(), 66u);
  const std::string pw = "secret";
  const auto s = FromHex("000102030405060708090a0b0c0d0e0f");
  std::vector<uint8_t> ref(66);
  ASSERT_EQ(Pbkdf2(FindHashById(3), pw.data(), pw.size(), s.data(), s.size(), 1000, ref.data(), 66), kPbkdf2Ok);
  EXPECT_EQ(key, ref);
}

TEST(TPBKDF2Test, RandomSaltNeverHoldsFF) {
  std::set<int> seen;
  for (int i = 0; i < 400; ++i) {
    auto kdf = TPBKDF2::CreateWithRandomSalt("pw", 1000, 255);
    const auto salt = kdf->GetSalt();
    ASSERT_EQ(salt.size(), 255u);
    for (uint8_t b : salt) {
      ASSERT_NE(b, 0xFF);
      seen.insert(b);
    }
  }
  EXPECT_EQ(seen.size(), 255u) << "every value 0..254 occurs";
  for (int length : {0, 8, 12, 16}) EXPECT_EQ(TPBKDF2::CreateWithRandomSalt("pw", 1000, length)->SaltLength(), length);
}

uint64_t FixedSeed() { return 0x123456789ABCDEFull; }

TEST(TPBKDF2Test, RandomSaltIsReseededFromTheSeedSource) {
  SetRandomSeedSource(&FixedSeed);
  const auto a = TPBKDF2::CreateWithRandomSalt("pw", 1000, 16)->GetSalt();
  const auto b = TPBKDF2::CreateWithRandomSalt("pw", 1000, 16)->GetSalt();
  SetRandomSeedSource(nullptr);
  EXPECT_EQ(a, b) << "the same seed gives the same salt";
  std::set<std::vector<uint8_t>> distinct;
  for (int i = 0; i < 20; ++i) distinct.insert(TPBKDF2::CreateWithRandomSalt("pw", 1000, 16)->GetSalt());
  EXPECT_GT(distinct.size(), 1u) << "the default seed source moves";
}

}  // namespace

// Differential tests against OpenSSL (native builds only; QP_HAVE_OPENSSL is defined by
// tests/CMakeLists.txt when OpenSSL is linked): random keys, data lengths and chunkings for AES
// blocks, the chaining modes OpenSSL shares with us, counter mode, SHA-1, HMAC and PBKDF2,
// on the portable and the hardware paths.
#include <gtest/gtest.h>

#ifdef QP_HAVE_OPENSSL

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstring>

#include "crypto/hmac.h"
#include "crypto/pbkdf2.h"
#include "crypto/rijndael.h"
#include "crypto/sha1.h"
#include "crypto_test_util.h"

namespace {

const EVP_CIPHER* Ecb(size_t keyLength) {
  return keyLength == 16 ? EVP_aes_128_ecb() : keyLength == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
}
const EVP_CIPHER* Cbc(size_t keyLength) {
  return keyLength == 16 ? EVP_aes_128_cbc() : keyLength == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
}
const EVP_CIPHER* Cfb8(size_t keyLength) {
  return keyLength == 16 ? EVP_aes_128_cfb8() : keyLength == 24 ? EVP_aes_192_cfb8() : EVP_aes_256_cfb8();
}

std::vector<uint8_t> OpenSslCipher(const EVP_CIPHER* cipher, const std::vector<uint8_t>& key, const uint8_t* iv,
                                   const std::vector<uint8_t>& in, bool encrypt) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EXPECT_EQ(EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), iv, encrypt ? 1 : 0), 1);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  std::vector<uint8_t> out(in.size() + 32);
  int n = 0, m = 0;
  EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(in.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + n, &m), 1);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<size_t>(n + m));
  return out;
}

class OpenSslDiff : public BothPaths {};
QP_BOTH_PATHS(OpenSslDiff);

TEST_P(OpenSslDiff, AesBlocksAndChainingModes) {
  std::mt19937 rng(1001);
  for (int round = 0; round < 300; ++round) {
    const size_t keyLength = 16 + 8 * (rng() % 3);
    const auto key = RandomBytes(rng, keyLength);
    const auto iv = RandomBytes(rng, 16);
    const auto data = RandomBytes(rng, 16 * (1 + rng() % 64));
    TCipher_Rijndael aes(key.data(), static_cast<int>(keyLength), iv.data());
    ASSERT_EQ(aes.UsesHardware(), WantAes());
    aes.SetMode(cmECB);
    auto ours = data;
    aes.EncryptData(ours.data(), ours.data(), ours.size());
    ASSERT_EQ(ours, OpenSslCipher(Ecb(keyLength), key, nullptr, data, true));
    aes.DecryptData(ours.data(), ours.data(), ours.size());
    ASSERT_EQ(ours, data);
    // CBC with whole blocks, split in two calls.
    aes.SetMode(cmCBC);
    aes.ResetChaining();
    ours = data;
    const size_t cut = 16 * (rng() % (data.size() / 16 + 1));
    aes.EncryptData(ours.data(), ours.data(), cut);
    aes.EncryptData(ours.data() + cut, ours.data() + cut, ours.size() - cut);
    ASSERT_EQ(ours, OpenSslCipher(Cbc(keyLength), key, iv.data(), data, true));
    aes.ResetChaining();
    aes.DecryptData(ours.data(), ours.data(), ours.size());
    ASSERT_EQ(ours, data);
    // 8-bit CFB on any length.
    const auto odd = RandomBytes(rng, rng() % 300);
    aes.SetMode(cmCFB);
    aes.ResetChaining();
    ours = odd;
    aes.EncryptData(ours.data(), ours.data(), ours.size());
    ASSERT_EQ(ours, OpenSslCipher(Cfb8(keyLength), key, iv.data(), odd, true));
    aes.ResetChaining();
    aes.DecryptData(ours.data(), ours.data(), ours.size());
    ASSERT_EQ(ours, odd);
  }
}

TEST_P(OpenSslDiff, CounterModeInOddChunks) {
  std::mt19937 rng(1002);
  for (int round = 0; round < 100; ++round) {
    const size_t keyLength = 16 + 8 * (rng() % 3);
    const auto key = RandomBytes(rng, keyLength);
    const auto data = RandomBytes(rng, rng() % 20000);
    // The reference key stream: OpenSSL's AES-ECB over the counter blocks 1, 2, 3, ...
    const size_t blocks = (data.size() + 15) / 16;
    std::vector<uint8_t> counters(blocks * 16, 0);
    for (size_t b = 0; b < blocks; ++b)
      for (int i = 0; i < 8; ++i) counters[16 * b + i] = static_cast<uint8_t>((b + 1) >> (8 * i));
    const auto stream = OpenSslCipher(Ecb(keyLength), key, nullptr, counters, true);
    TCipher_Rijndael aes(key.data(), static_cast<int>(keyLength));
    aes.SetMode(cmCounterMode);
    auto ours = data;
    size_t done = 0;
    while (done < ours.size()) {
      const size_t n = std::min<size_t>(ours.size() - done, 1 + rng() % (round % 2 ? 33 : 3000));
      if (rng() % 2)
        aes.DecryptData(ours.data() + done, ours.data() + done, n);
      else
        aes.EncryptData(ours.data() + done, ours.data() + done, n);
      done += n;
    }
    for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(ours[i], data[i] ^ stream[i]) << "round " << round << " byte " << i;
  }
}

TEST_P(OpenSslDiff, Sha1RandomLengthsAndChunks) {
  std::mt19937 rng(1003);
  for (int round = 0; round < 300; ++round) {
    const auto data = RandomBytes(rng, rng() % (round < 200 ? 300 : 100000));
    uint8_t expected[20];
    unsigned len = 0;
    ASSERT_EQ(EVP_Digest(data.data(), data.size(), expected, &len, EVP_sha1(), nullptr), 1);
    TSHA1Context ctx;
    SHA1Init(ctx);
    size_t done = 0;
    while (done < data.size()) {
      const size_t n = std::min<size_t>(data.size() - done, rng() % 150);
      SHA1Update(ctx, data.data() + done, n);
      done += n;
    }
    uint8_t ours[20];
    SHA1Final(ctx, ours);
    ASSERT_EQ(ToHex(ours, 20), ToHex(expected, 20)) << data.size();
  }
}

TEST_P(OpenSslDiff, HmacRandomKeysAndData) {
  std::mt19937 rng(1004);
  for (int round = 0; round < 300; ++round) {
    const auto key = RandomBytes(rng, rng() % 200);
    const auto data = RandomBytes(rng, rng() % 3000);
    uint8_t expected[20];
    unsigned len = 0;
    ASSERT_NE(HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), data.data(), data.size(), expected, &len), nullptr);
    THMACContext ctx;
    HmacStart(ctx, *FindHashByName("SHA1"), key.data(), key.size());
    size_t done = 0;
    while (done < data.size()) {
      const size_t n = std::min<size_t>(data.size() - done, rng() % 200);
      HmacUpdate(ctx, data.data() + done, n);
      done += n;
    }
    uint8_t ours[20];
    HmacFinish(ctx, ours);
    ASSERT_EQ(ToHex(ours, 20), ToHex(expected, 20));
  }
}

TEST_P(OpenSslDiff, Pbkdf2RandomInputs) {
  std::mt19937 rng(1005);
  for (int round = 0; round < 60; ++round) {
    const auto password = RandomBytes(rng, rng() % 100);
    const auto salt = RandomBytes(rng, rng() % 40);
    const int iterations = 1 + static_cast<int>(rng() % 1200);
    const uint16_t length = static_cast<uint16_t>(1 + rng() % 90);
    std::vector<uint8_t> expected(length), ours(length);
    ASSERT_EQ(PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(password.data()), static_cast<int>(password.size()),
                                     salt.data(), static_cast<int>(salt.size()), iterations, length, expected.data()),
              1);
    ASSERT_EQ(Pbkdf2(FindHashById(3), password.data(), password.size(), salt.data(), salt.size(),
                     static_cast<uint32_t>(iterations), ours.data(), length),
              kPbkdf2Ok);
    ASSERT_EQ(ours, expected);
    auto kdf = TPBKDF2::CreateWithSalt(std::string(password.begin(), password.end()), iterations,
                                       static_cast<int>(salt.size()), salt.data());
    ASSERT_EQ(kdf->DeriveKey(length), expected);
  }
}

}  // namespace

#else

TEST(OpenSslDiff, NotAvailable) { GTEST_SKIP() << "OpenSSL differential tests run on native builds only"; }

#endif

// The AES transform and its item decryptor: items made by the transform itself for the three
// key lengths, the password check, the authentication code, a tampered or short trailer, the
// extra field it writes, wiping on Reset, and a differential test against OpenSSL (native
// builds) that rebuilds the key split, the little-endian counter and the HMAC independently.
#include <gtest/gtest.h>

#include "crypto/cipher_exception.h"

#include <random>

#include "archive/crypt/aes_transform.h"
#include "archive/crypt/aes_extra_field.h"
#include "archive/crypt/item_decryptor.h"
#include "archive/format/records.h"
#include "archive/io/stream.h"

#ifdef QP_HAVE_OPENSSL
#include <openssl/evp.h>
#include <openssl/hmac.h>
#endif

namespace {

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

TItemCryptoInfo AesInfo(TQPCryptoAlgorithm algorithm) {
  TItemCryptoInfo info;
  info.Flags = kFlagEncrypted;
  info.VersionNeeded = 51;
  info.CryptoAlgorithm = algorithm;
  info.ActualMethod = kMethodStored;
  return info;
}

// Salt, verification value, ciphertext and code, as a writer lays them out.
std::vector<uint8_t> EncryptItem(TQPCryptoAlgorithm algorithm, const std::string& password,
                                 const std::vector<uint8_t>& plain) {
  TAESCryptoTransform writer(AesKeyBits(algorithm), kMethodStored, kAesVendorVersion);
  writer.Initialize(password);
  std::vector<uint8_t> item = writer.GetEncryptionHeader();
  const size_t at = item.size();
  item.resize(at + plain.size());
  writer.EncryptBuffer(plain.data(), 0, item.data(), at, plain.size());
  const auto code = writer.FinishAuthenticationCode();
  item.insert(item.end(), code.begin(), code.end());
  return item;
}

class AesStages : public testing::TestWithParam<TQPCryptoAlgorithm> {};
INSTANTIATE_TEST_SUITE_P(Strengths, AesStages, testing::Values(caAES_128, caAES_192, caAES_256));

TEST_P(AesStages, OpensWithTheRightPasswordAndProvesTheData) {
  std::mt19937 rng(GetParam());
  const auto plain = RandomBytes(rng, 9000);
  const auto item = EncryptItem(GetParam(), "pass word", plain);
  auto stage = IQPItemDecryptor::Create(AesInfo(GetParam()));
  ASSERT_TRUE(stage);
  EXPECT_EQ(stage->Scheme(), TItemScheme::Aes);
  const size_t header = static_cast<size_t>(AesKeyBits(GetParam()) / 16 + 2);
  EXPECT_EQ(stage->HeaderSize(), header);
  EXPECT_EQ(stage->PayloadSize(item.size()), plain.size());
  EXPECT_EQ(stage->PayloadSize(header + 9), std::nullopt);
  EXPECT_FALSE(stage->ComparesCrc());

  const std::span<const uint8_t> all(item);
  EXPECT_FALSE(stage->CheckPassword(all.first(header), "wrong"));
  EXPECT_FALSE(stage->CheckPassword(all.first(header), ""));
  ASSERT_TRUE(stage->CheckPassword(all.first(header), "pass word"));
  std::vector<uint8_t> data(item.begin() + static_cast<ptrdiff_t>(header), item.end() - 10);
  stage->DecryptInPlace(std::span(data).first(1));
  stage->DecryptInPlace(std::span(data).subspan(1, 31));
  stage->DecryptInPlace(std::span(data).subspan(32));
  EXPECT_EQ(data, plain);
  EXPECT_TRUE(stage->Verify(all.last(10)));
}

TEST_P(AesStages, TamperedDataOrCodeFailsVerification) {
  const std::vector<uint8_t> plain(300, 'x');
  const auto item = EncryptItem(GetParam(), "pw", plain);
  const size_t header = item.size() - plain.size() - 10;
  for (size_t flip : {header, header + 150, item.size() - 1}) {
    auto bad = item;
    bad[flip] ^= 0x80;
    auto stage = IQPItemDecryptor::Create(AesInfo(GetParam()));
    ASSERT_TRUE(stage->CheckPassword(std::span(bad).first(header), "pw"));
    std::vector<uint8_t> data(bad.begin() + static_cast<ptrdiff_t>(header), bad.end() - 10);
    stage->DecryptInPlace(data);
    EXPECT_FALSE(stage->Verify(std::span(bad).last(10))) << "flipped byte " << flip;
  }
  auto stage = IQPItemDecryptor::Create(AesInfo(GetParam()));
  ASSERT_TRUE(stage->CheckPassword(std::span(item).first(header), "pw"));
  std::vector<uint8_t> data(item.begin() + static_cast<ptrdiff_t>(header), item.end() - 10);
  stage->DecryptInPlace(data);
  EXPECT_FALSE(stage->Verify(std::span(item).last(9)));
  EXPECT_THROW(static_cast<void>(stage->CheckPassword(std::span(item).first(header - 1), "pw")), EStreamError);
}

TEST(AesTransform, StreamFormsExtraFieldAndReset) {
  const auto item = EncryptItem(caAES_192, "pw", std::vector<uint8_t>(64, 'y'));
  TAESCryptoTransform t(192, kMethodDeflate, kAesVendorVersion);
  t.SetTransformMode(tmDecryption);
  t.Initialize("pw");
  TQPMemoryStream stream(item);
  t.ReadEncryptionHeader(stream);
  EXPECT_EQ(stream.Position(), 14);
  EXPECT_TRUE(t.CheckPassword("pw", TDirItem{}));
  std::vector<uint8_t> data(64);
  stream.ReadBuffer(data.data(), data.size());
  t.DecryptBuffer(data.data(), 0, data.data(), 0, data.size());
  EXPECT_EQ(data, std::vector<uint8_t>(64, 'y'));
  t.ReadAuthenticationCode(stream);
  EXPECT_FALSE(t.AuthenticationFailed(TDirItem{}, 0));
  EXPECT_FALSE(t.AuthenticationFailed(TDirItem{}, 0));  // asking twice gives the same answer

  const TExtraBlock field = t.GetExtraField();
  EXPECT_EQ(field.HeaderId, kAesExtraId);
  const auto parsed = ParseAesExtraField(field.Data.data(), field.DataSize);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->VendorVersion, 2);
  EXPECT_EQ(parsed->VendorId, 'A' | ('E' << 8));
  EXPECT_EQ(parsed->Strength, 2);
  EXPECT_EQ(parsed->ActualMethod, kMethodDeflate);

  t.Reset();
  EXPECT_TRUE(t.GetPassword().empty());
  EXPECT_TRUE(t.GetEncryptionKey().empty());
  EXPECT_FALSE(t.Keyed());
  EXPECT_THROW(t.DecryptBuffer(data.data(), 0, data.data(), 0, 1), ECipherException);
  TQPMemoryStream shortStream(std::vector<uint8_t>(item.begin(), item.begin() + 13));
  EXPECT_THROW(t.ReadEncryptionHeader(shortStream), EStreamError);
  EXPECT_THROW(TAESCryptoTransform(160, 0, 2), ECryptoError);
}

#ifdef QP_HAVE_OPENSSL
// The scheme rebuilt from OpenSSL's PBKDF2, AES block function and HMAC.
TEST(AesTransformOpenSsl, MatchesIndependentConstruction) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 24; ++round) {
    const int bits = 128 + 64 * (round % 3);
    const size_t keyLength = static_cast<size_t>(bits / 8);
    const auto pw = RandomBytes(rng, 1 + rng() % 40);
    const std::string password(pw.begin(), pw.end());
    auto header = RandomBytes(rng, keyLength / 2);
    std::vector<uint8_t> derived(2 * keyLength + 2);
    ASSERT_EQ(PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), header.data(),
                                     static_cast<int>(header.size()), 1000, static_cast<int>(derived.size()),
                                     derived.data()),
              1);
    header.insert(header.end(), derived.end() - 2, derived.end());
    const auto cipherText = RandomBytes(rng, rng() % 6000);

    // Key stream: AES of the blocks 01 00 .. 00, 02 00 .. 00, ... (64-bit little-endian counter).
    std::vector<uint8_t> expected(cipherText);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const EVP_CIPHER* ecb = bits == 128 ? EVP_aes_128_ecb() : bits == 192 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, ecb, nullptr, derived.data(), nullptr), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (size_t at = 0; at < expected.size(); at += 16) {
      uint8_t counter[16] = {}, stream[16];
      uint64_t n = at / 16 + 1;
      for (int i = 0; i < 8; ++i) counter[i] = static_cast<uint8_t>(n >> (8 * i));
      int outLength = 0;
      ASSERT_EQ(EVP_EncryptUpdate(ctx, stream, &outLength, counter, 16), 1);
      for (size_t i = at; i < std::min(at + 16, expected.size()); ++i) expected[i] ^= stream[i - at];
    }
    EVP_CIPHER_CTX_free(ctx);
    uint8_t mac[20];
    unsigned macLength = 0;
    HMAC(EVP_sha1(), derived.data() + keyLength, static_cast<int>(keyLength), cipherText.data(), cipherText.size(),
         mac, &macLength);

    TAESCryptoTransform t(bits, kMethodStored, kAesVendorVersion);
    t.SetTransformMode(tmDecryption);
    t.Initialize(password);
    t.SetEncryptionHeader(header);
    ASSERT_TRUE(t.CheckPassword(password, TDirItem{}));
    EXPECT_EQ(t.GetEncryptionKey(), std::vector<uint8_t>(derived.begin(), derived.begin() + keyLength));
    std::vector<uint8_t> plain(cipherText.size());
    for (size_t at = 0; at < plain.size();) {
      const size_t n = std::min<size_t>(1 + rng() % 700, plain.size() - at);
      t.DecryptBuffer(cipherText.data(), at, plain.data(), at, n);
      at += n;
    }
    EXPECT_EQ(plain, expected) << bits << " bits, " << cipherText.size() << " bytes";
    EXPECT_EQ(t.FinishAuthenticationCode(), std::vector<uint8_t>(mac, mac + 10));
  }
}
#endif

}  // namespace

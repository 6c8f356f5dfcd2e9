// The item decryptor's contract beyond one straight pass, for both schemes: every password
// check starts afresh (a right one restarts the data stream and the authentication code, a
// wrong one leaves nothing to decrypt with), and the proof after the data can be asked again.
#include <gtest/gtest.h>

#include "crypto/cipher_exception.h"
#include "tests/crypt/crypt_test_util.h"

namespace crypt_test {
namespace {

class ItemDecryptors : public testing::TestWithParam<uint8_t> {};  // the AES strength; 0: traditional
INSTANTIATE_TEST_SUITE_P(Schemes, ItemDecryptors, testing::Values(uint8_t{0}, uint8_t{1}, uint8_t{3}));

TEST_P(ItemDecryptors, EachPasswordCheckStartsAfresh) {
  std::string plain;
  for (int i = 0; plain.size() < 5000; ++i) plain += "line " + std::to_string(i * 7919 % 1000) + "\n";
  ZipEntry entry;
  entry.name = "a.txt";
  entry.data = plain;
  entry.password = "pw";
  entry.aesStrength = GetParam();
  const std::string archive = ZipBuilder().Add(entry).Build();
  const LocatedItem at = Locate(archive, 0);
  auto decryptor = IQPItemDecryptor::Create(ItemCryptoInfoOf(at.item, at.local));
  ASSERT_TRUE(decryptor);
  EXPECT_EQ(decryptor->Scheme(), GetParam() ? TItemScheme::Aes : TItemScheme::Classic);
  const auto payload = decryptor->PayloadSize(at.item.CompressedSize());
  ASSERT_EQ(payload, plain.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(archive.data()) + at.dataOffset;
  const std::span<const uint8_t> header(bytes, decryptor->HeaderSize());
  const std::span<const uint8_t> trailer(bytes + header.size() + plain.size(), decryptor->TrailerSize());
  const std::string stored(reinterpret_cast<const char*>(bytes) + header.size(), plain.size());
  auto decrypt = [&](std::string& data, size_t from, size_t count) {
    decryptor->DecryptInPlace({reinterpret_cast<uint8_t*>(data.data()) + from, count});
  };

  // Half the data decrypted, then the same password again: the stream starts over.
  ASSERT_TRUE(decryptor->CheckPassword(header, "pw"));
  std::string data = stored;
  decrypt(data, 0, 2500);
  ASSERT_TRUE(decryptor->CheckPassword(header, "pw"));
  data = stored;
  decrypt(data, 0, 1);
  decrypt(data, 1, data.size() - 1);
  EXPECT_EQ(data, plain);
  EXPECT_TRUE(decryptor->Verify(trailer));
  EXPECT_TRUE(decryptor->Verify(trailer)) << "asked a second time";

  // A wrong password (an empty one never opens an item) takes the keys away.
  EXPECT_FALSE(decryptor->CheckPassword(header, ""));
  data = stored;
  EXPECT_THROW(decrypt(data, 0, 16), ECryptoError);
  if (GetParam() != 0) {
    EXPECT_FALSE(decryptor->Verify(trailer));
  }
}

}  // namespace
}  // namespace crypt_test

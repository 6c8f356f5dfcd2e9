// The traditional scheme: which byte the header check compares, the empty password, a header
// cut short, and decryption that continues across blocks from the keys the check left.
#include <gtest/gtest.h>

#include "crypto/cipher_exception.h"

#include "archive/crypt/classic_keys.h"
#include "archive/crypt/item_decryptor.h"
#include "archive/format/records.h"
#include "archive/io/stream.h"

namespace {

// The writer's side: each byte XORed with the key stream, the keys advanced over the plaintext.
std::vector<uint8_t> EncryptClassic(const std::string& password, const std::string& plain) {
  ClassicKeys keys;
  InitClassicKeys(keys, password);
  std::vector<uint8_t> out;
  for (const char c : plain) {
    out.push_back(static_cast<uint8_t>(c) ^ ClassicStreamByte(keys));
    UpdateClassicKeys(keys, static_cast<uint8_t>(c));
  }
  return out;
}

// A 12-byte header whose last plaintext byte is `check`, followed by `data`.
std::vector<uint8_t> Item(const std::string& password, uint8_t check, const std::string& data) {
  return EncryptClassic(password, std::string("0123456789a") + static_cast<char>(check) + data);
}

constexpr uint32_t kCrc = 0xA1B2C3D4;
constexpr uint16_t kTime = 0x5E6F;

bool Check(const std::vector<uint8_t>& item, const std::string& password, uint16_t flags) {
  ClassicKeys keys;
  return CheckClassicPassword(std::span(item).first(kClassicHeaderSize), password, keys, kCrc, kTime, flags);
}

TEST(ClassicScheme, CheckByteFromCrcOrFromTimeWithDataDescriptor) {
  const auto byCrc = Item("pw", 0xA1, "");
  const auto byTime = Item("pw", 0x5E, "");
  EXPECT_TRUE(Check(byCrc, "pw", 0));
  EXPECT_FALSE(Check(byTime, "pw", 0));
  EXPECT_TRUE(Check(byTime, "pw", kFlagDataDescriptor));
  EXPECT_FALSE(Check(byCrc, "pw", kFlagDataDescriptor));
  EXPECT_FALSE(Check(byCrc, "pW", 0));
  // Only byte 11 counts: the other header bytes may be anything.
  EXPECT_TRUE(Check(EncryptClassic("pw", std::string(11, '\xFF') + '\xA1'), "pw", 0));
}

TEST(ClassicScheme, EmptyPasswordIsNeverTried) {
  // This header would pass the check with the empty password.
  EXPECT_FALSE(Check(Item("", 0xA1, ""), "", 0));
}

TEST(ClassicScheme, DataDecryptsAcrossBlocksFromTheCheckedKeys) {
  const std::string plain(5000, 'q');
  auto item = Item("secret", 0xA1, plain);
  ClassicKeys keys;
  TQPMemoryStream stream(item);
  ASSERT_TRUE(CheckClassicPassword(stream, "secret", keys, kCrc, kTime, 0));
  EXPECT_EQ(stream.Position(), 12);
  uint8_t* data = item.data() + kClassicHeaderSize;
  DecryptClassicBytes(keys, data, 1);
  DecryptClassicBytes(keys, data + 1, 31);
  DecryptClassicBytes(keys, data + 32, plain.size() - 32);
  EXPECT_EQ(std::string(data, data + plain.size()), plain);
}

TEST(ClassicScheme, HeaderCutShortIsDamagedData) {
  const auto item = Item("pw", 0xA1, "");
  ClassicKeys keys;
  TQPMemoryStream stream(std::vector<uint8_t>(item.begin(), item.begin() + 11));
  EXPECT_THROW(static_cast<void>(CheckClassicPassword(stream, "pw", keys, kCrc, kTime, 0)), EStreamError);

  TItemCryptoInfo info;
  info.Flags = kFlagEncrypted;
  info.LocalCrc32 = kCrc;
  auto stage = IQPItemDecryptor::Create(info);
  ASSERT_TRUE(stage);
  EXPECT_THROW(static_cast<void>(stage->CheckPassword(std::span(item).first(11), "pw")), EStreamError);
  // No decrypting before a password has passed.
  uint8_t byte = 0;
  EXPECT_THROW(stage->DecryptInPlace({&byte, 1}), ECryptoError);
  EXPECT_TRUE(stage->CheckPassword(item, "pw"));
  EXPECT_EQ(stage->PayloadSize(11), std::nullopt);
  EXPECT_EQ(stage->PayloadSize(12), 0u);
}

}  // namespace

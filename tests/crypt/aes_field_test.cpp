// Which scheme an encrypted item gets: the AES extra field's strength, its actual method, and
// the version-needed limit, through the directory reader and the item decryptor's choice.
#include <gtest/gtest.h>

#include "archive/crypt/aes_extra_field.h"
#include "archive/crypt/item_decryptor.h"
#include "tests/archive/open_memory.h"
#include "tests/support/zip_builder.h"

namespace {

std::string AesField(uint8_t strength, uint16_t method) {
  std::string data = {2, 0, 'A', 'E', static_cast<char>(strength), static_cast<char>(method & 0xFF),
                      static_cast<char>(method >> 8)};
  return ExtraField(0x9901, data);
}

TEST(AesField, StrengthPicksTheSchemeAndTheMethodAlwaysApplies) {
  struct Case {
    uint8_t strength;
    uint16_t versionNeeded;
    uint8_t algorithm;
    uint16_t actualMethod;
    TItemScheme scheme;
  };
  const Case cases[] = {
      {1, 51, caAES_128, 8, TItemScheme::Aes},     {2, 51, caAES_192, 8, TItemScheme::Aes},
      {3, 51, caAES_256, 0, TItemScheme::Aes},     {0, 51, caPkzipClassic, 8, TItemScheme::Classic},
      {4, 51, caPkzipClassic, 0, TItemScheme::Classic},
      // At 16660 and above the field is not honoured at all: the method field stays 99.
      {3, 16660, caPkzipClassic, 99, TItemScheme::Classic},
  };
  ZipBuilder builder;
  for (const Case& c : cases) {
    ZipEntry e;
    e.name = "item" + std::to_string(c.strength) + "_" + std::to_string(c.versionNeeded);
    e.data = "ciphertext of some kind";
    e.flags = 1;
    e.method = 99;
    e.versionNeeded = c.versionNeeded;
    e.centralExtra = AesField(c.strength, c.actualMethod == 99 ? 8 : c.actualMethod);
    builder.Add(e);
  }
  OpenedArchive opened(builder.Build());
  ASSERT_EQ(opened.Count(), static_cast<int32_t>(std::size(cases)));
  for (int32_t i = 0; i < opened.Count(); ++i) {
    const TDirItem& item = opened.manager.Directory.ItemRef(i);
    SCOPED_TRACE(testing::Message() << "strength " << int(cases[i].strength) << ", version " << cases[i].versionNeeded);
    EXPECT_EQ(item.CryptoAlgorithm, cases[i].algorithm);
    EXPECT_EQ(item.ActualMethod, cases[i].actualMethod);
    const TItemCryptoInfo info = ItemCryptoInfoOf(item, TLocalFileHeader{});
    EXPECT_EQ(ItemSchemeOf(info.Flags, info.VersionNeeded, info.CryptoAlgorithm), cases[i].scheme);
    auto stage = IQPItemDecryptor::Create(info);
    ASSERT_TRUE(stage);
    EXPECT_EQ(stage->Scheme(), cases[i].scheme);
    EXPECT_EQ(stage->HeaderSize() + stage->TrailerSize(),
              cases[i].scheme == TItemScheme::Classic ? 12u : 16u + 4u * cases[i].algorithm);
  }
}

TEST(AesField, ShortFieldAndPlainItems) {
  const uint8_t six[6] = {2, 0, 'A', 'E', 3, 8};
  EXPECT_FALSE(ParseAesExtraField(six, 6));
  TDirItem item;
  item.ActualMethod = 99;
  ApplyAesExtraField(item, six, 6);
  EXPECT_EQ(item.ActualMethod, 99);
  EXPECT_EQ(item.CryptoAlgorithm, caPkzipClassic);
  // An item without flag bit 0 gets no stage, whatever its algorithm says.
  TItemCryptoInfo plain;
  plain.CryptoAlgorithm = caAES_256;
  EXPECT_EQ(IQPItemDecryptor::Create(plain), nullptr);
}

}  // namespace

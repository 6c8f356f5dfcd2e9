// Choosing an item's scheme and making its decryptor.
#include "archive/crypt/item_decryptor.h"

#include "archive/crypt/aes_scheme.h"
#include "archive/format/dir_item.h"
#include "archive/format/records.h"

TItemScheme ItemSchemeOf(uint16_t flags, uint16_t versionNeeded, uint8_t cryptoAlgorithm) {
  if (!(flags & kFlagEncrypted)) return TItemScheme::None;
  if (versionNeeded < kStrongEncryptionVersion && cryptoAlgorithm >= caAES_128 && cryptoAlgorithm <= caAES_256)
    return TItemScheme::Aes;
  return TItemScheme::Classic;
}

TItemCryptoInfo ItemCryptoInfoOf(const TDirItem& item, const TLocalFileHeader& local) {
  TItemCryptoInfo info;
  info.Flags = item.CentralDirItem.Flags;
  info.VersionNeeded = item.CentralDirItem.VersionNeeded;
  info.CryptoAlgorithm = item.CryptoAlgorithm;
  info.ActualMethod = item.ActualMethod;
  info.LocalFlags = local.Flags;
  info.LocalTime = local.Time;
  info.LocalCrc32 = local.Crc32;
  return info;
}

std::unique_ptr<IQPItemDecryptor> IQPItemDecryptor::Create(const TItemCryptoInfo& info) {
  switch (ItemSchemeOf(info.Flags, info.VersionNeeded, info.CryptoAlgorithm)) {
    case TItemScheme::None:
      return nullptr;
    case TItemScheme::Classic:
      return std::make_unique<TQPClassicDecryptor>(info.LocalCrc32, info.LocalTime, info.LocalFlags);
    case TItemScheme::Aes:
      return std::make_unique<TQPAesDecryptor>(AesKeyBits(static_cast<TQPCryptoAlgorithm>(info.CryptoAlgorithm)));
  }
  return nullptr;
}

std::optional<uint64_t> IQPItemDecryptor::PayloadSize(uint64_t compressedSize) const {
  const uint64_t overhead = HeaderSize() + TrailerSize();
  if (compressedSize < overhead) return std::nullopt;
  return compressedSize - overhead;
}

#include "archive/crypt/aes_extra_field.h"

#include "archive/format/dir_item.h"
#include "archive/format/little_endian.h"
#include "archive/format/records.h"

std::optional<TAesExtraField> ParseAesExtraField(const uint8_t* data, size_t size) {
  if (!data || size < TAesExtraField::kDataSize) return std::nullopt;
  TAesExtraField field;
  field.VendorVersion = GetLE<uint16_t>(data);
  field.VendorId = GetLE<uint16_t>(data + 2);
  field.Strength = data[4];
  field.ActualMethod = GetLE<uint16_t>(data + 5);
  return field;
}

std::optional<TQPCryptoAlgorithm> AesAlgorithmOfStrength(uint8_t strength) {
  switch (strength) {
    case 1:
      return caAES_128;
    case 2:
      return caAES_192;
    case 3:
      return caAES_256;
    default:
      return std::nullopt;
  }
}

void ApplyAesExtraField(TDirItem& item, const uint8_t* data, size_t size) {
  if (item.CentralDirItem.VersionNeeded >= kStrongEncryptionVersion) return;
  const std::optional<TAesExtraField> field = ParseAesExtraField(data, size);
  if (!field) return;
  if (const auto algorithm = AesAlgorithmOfStrength(field->Strength)) item.CryptoAlgorithm = *algorithm;
  item.ActualMethod = field->ActualMethod;
}

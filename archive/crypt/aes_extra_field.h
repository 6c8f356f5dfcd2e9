// The AES extra field (header id 0x9901): its seven data bytes, and how an item's scheme and
// actual compression method follow from it and from the version needed to extract.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "archive/base/types.h"

struct TDirItem;

struct TAesExtraField {
  static constexpr uint16_t kDataSize = 7;
  uint16_t VendorVersion = 0;  // 1 or 2 from the writers; not examined when reading
  uint16_t VendorId = 0;       // the bytes "AE"; not examined when reading
  uint8_t Strength = 0;        // 1, 2, 3: 128, 192, 256-bit keys
  uint16_t ActualMethod = 0;   // the compression method under the encryption
};

// The field's data (without its 4-byte id and size); none when fewer than 7 bytes are given.
[[nodiscard]] std::optional<TAesExtraField> ParseAesExtraField(const uint8_t* data, size_t size);

// The scheme a strength byte selects: caAES_128 .. caAES_256 for 1 .. 3, none for any other
// value (the item then stays on the traditional scheme).
std::optional<TQPCryptoAlgorithm> AesAlgorithmOfStrength(uint8_t strength);

// Takes an AES field's data into the item: for an item whose version needed is below 16660,
// a strength of 1 to 3 sets its CryptoAlgorithm, and the actual method always replaces its
// ActualMethod. Items at 16660 or above, and fields shorter than 7 bytes, are left as they are.
void ApplyAesExtraField(TDirItem& item, const uint8_t* data, size_t size);

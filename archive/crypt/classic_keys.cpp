#include "archive/crypt/classic_keys.h"

#include <cassert>

#include "archive/format/crc32.h"
#include "archive/format/records.h"
#include "archive/io/stream.h"
#include "crypto/byte_order.h"

namespace {

// The key update runs once per byte of data; it is written out here with the keys in
// locals so that decrypting a block keeps them in registers.
inline void Update(const uint32_t* table, uint32_t& k0, uint32_t& k1, uint32_t& k2, uint8_t plain) {
  k0 = (k0 >> 8) ^ table[(k0 ^ plain) & 0xFF];
  k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
  k2 = (k2 >> 8) ^ table[(k2 ^ (k1 >> 24)) & 0xFF];
}

inline uint8_t StreamByte(uint32_t k2) {
  const uint32_t temp = (k2 & 0xFFFF) | 2;
  return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

}  // namespace

void InitClassicKeys(ClassicKeys& keys, std::string_view password) {
  keys.Key0 = 0x12345678;
  keys.Key1 = 0x23456789;
  keys.Key2 = 0x34567890;
  for (const char c : password) UpdateClassicKeys(keys, static_cast<uint8_t>(c));
}

void UpdateClassicKeys(ClassicKeys& keys, uint8_t plain) {
  Update(Crc32Table(), keys.Key0, keys.Key1, keys.Key2, plain);
}

uint8_t ClassicStreamByte(const ClassicKeys& keys) { return StreamByte(keys.Key2); }

void DecryptClassicBytes(ClassicKeys& keys, uint8_t* buffer, size_t count) {
  const uint32_t* table = Crc32Table();
  uint32_t k0 = keys.Key0, k1 = keys.Key1, k2 = keys.Key2;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t plain = buffer[i] ^ StreamByte(k2);
    Update(table, k0, k1, k2, plain);
    buffer[i] = plain;
  }
  keys.Key0 = k0;
  keys.Key1 = k1;
  keys.Key2 = k2;
}

uint8_t ClassicCheckByte(uint32_t localCrc, uint16_t localTime, uint16_t localFlags) {
  if (localFlags & kFlagDataDescriptor) return static_cast<uint8_t>(localTime >> 8);
  return static_cast<uint8_t>(localCrc >> 24);
}

bool CheckClassicPassword(std::span<const uint8_t> header, std::string_view password, ClassicKeys& keys,
                          uint32_t localCrc, uint16_t localTime, uint16_t localFlags) {
  assert(header.size() == kClassicHeaderSize);
  if (password.empty() || header.size() != kClassicHeaderSize) return false;
  uint8_t plain[kClassicHeaderSize];
  for (size_t i = 0; i < kClassicHeaderSize; ++i) plain[i] = header[i];
  InitClassicKeys(keys, password);
  DecryptClassicBytes(keys, plain, kClassicHeaderSize);
  const bool right = plain[kClassicHeaderSize - 1] == ClassicCheckByte(localCrc, localTime, localFlags);
  qp_crypto_detail::SecureZero(plain, sizeof plain);
  return right;
}

bool CheckClassicPassword(TQPStream& stream, std::string_view password, ClassicKeys& keys, uint32_t localCrc,
                          uint16_t localTime, uint16_t localFlags) {
  uint8_t header[kClassicHeaderSize];
  stream.ReadBuffer(header, sizeof header);
  return CheckClassicPassword(header, password, keys, localCrc, localTime, localFlags);
}

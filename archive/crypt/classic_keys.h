// The traditional ZIP encryption: the three-key state, its update, the key-stream byte,
// in-place decryption and the one-byte password check of the 12-byte encryption header.
// One ClassicKeys lives for one item, owned by its TQPClassicDecryptor (item_decryptor.h);
// the check leaves it ready for the first data byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class TQPStream;

struct ClassicKeys {
  uint32_t Key0 = 0;
  uint32_t Key1 = 0;
  uint32_t Key2 = 0;
};

// The size of the encryption header in front of a traditionally encrypted item's data.
constexpr size_t kClassicHeaderSize = 12;

// The initial key constants, then UpdateClassicKeys with each password byte in order.
void InitClassicKeys(ClassicKeys& keys, std::string_view password);
// Advances the keys over one plaintext byte (all arithmetic modulo 2^32).
void UpdateClassicKeys(ClassicKeys& keys, uint8_t plain);
// The next key-stream byte, from the low 16 bits of key 2.
uint8_t ClassicStreamByte(const ClassicKeys& keys);
// Decrypts count bytes in place, advancing the keys over each plaintext byte.
void DecryptClassicBytes(ClassicKeys& keys, uint8_t* buffer, size_t count);

// The byte that decrypted header byte 11 must equal: bits 8-15 of the local header's DOS time
// when the data-descriptor flag (bit 3) is set, since the CRC is not known while streaming;
// otherwise bits 24-31 of the local header's CRC-32.
uint8_t ClassicCheckByte(uint32_t localCrc, uint16_t localTime, uint16_t localFlags);

// Makes the keys from the password, decrypts the 12 header bytes with them (so the keys
// advance over the header) and compares decrypted byte 11 with the check byte. An empty
// password counts as wrong without being tried. `header` must hold exactly 12 bytes.
[[nodiscard]] bool CheckClassicPassword(std::span<const uint8_t> header, std::string_view password, ClassicKeys& keys,
                          uint32_t localCrc, uint16_t localTime, uint16_t localFlags);
// The same, reading the 12 header bytes from the stream (EStreamError when it has fewer).
[[nodiscard]] bool CheckClassicPassword(TQPStream& stream, std::string_view password, ClassicKeys& keys, uint32_t localCrc,
                          uint16_t localTime, uint16_t localFlags);

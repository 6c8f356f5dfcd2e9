// The hash registry: one HashDescriptor per registered hash in a table of 9 slots
// indexed by algorithm number 0..8. Only SHA-1 is registered, in slot 3 under "SHA1". The
// table is filled once, on first use of FindHashByName or FindHashById (or by
// RegisterStandardHashes), so it works from a static library without relying on a static
// initialiser that the linker may drop; it is read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Room for the context of any registered hash (SHA-1 needs 96 bytes).
struct THashContext {
  alignas(8) uint8_t data[224];
};

using HashInitProc = void (*)(THashContext& context);
using HashFinalProc = void (*)(THashContext& context, uint8_t* digest);
using HashUpdateProc = void (*)(THashContext& context, const void* data, size_t length);

constexpr uint16_t kHashSignature = 0x3D7A;
constexpr uint16_t kHashDescriptorSize = 80;
constexpr uint32_t kHashVersion = 0x00010003;
constexpr int kHashSlots = 9;
constexpr uint8_t kHashAlgorithmSHA1 = 3;
constexpr size_t kHashMaxNameLength = 19;
constexpr size_t kHashMaxDigestLength = 64;
constexpr size_t kHashMaxBlockLength = 128;

// A hash descriptor, an 80-byte record in its original 32-bit layout. `size` keeps that value
// (80); the C++ struct itself differs in size (it is larger on 64-bit targets, for the pointers).
struct HashDescriptor {
  uint16_t signature;      // kHashSignature
  uint16_t size;           // kHashDescriptorSize
  uint32_t version;        // kHashVersion
  uint16_t blockLength;    // 64 for SHA-1
  uint16_t digestLength;   // 20 for SHA-1
  HashInitProc init;
  HashFinalProc finalize;  // writes digestLength bytes
  HashUpdateProc update;
  uint8_t algorithm;       // the slot: 3 for SHA-1
  char name[kHashMaxNameLength + 1];  // at most 19 characters, NUL-terminated
  const uint8_t* oid;      // object identifier (DER contents), may be null
  uint16_t oidLength;
};

// The registered descriptor whose name equals name (ASCII letters compared case-insensitively,
// name cut to 19 characters) and whose signature is right and algorithm number equals its
// slot; null when there is none.
[[nodiscard]] const HashDescriptor* FindHashByName(std::string_view name);
// The descriptor in slot number; null for an empty slot and for numbers above 8.
[[nodiscard]] const HashDescriptor* FindHashById(int number);
// Fills the registry if that has not happened yet (idempotent, thread-safe). Optional: the
// lookups call it themselves; the engine may call it at load.
void RegisterStandardHashes();

// The SHA-1 descriptor itself.
const HashDescriptor& SHA1Descriptor();

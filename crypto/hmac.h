// HMAC (RFC 2104) over a registered hash (crypto/hash_registry.h): start, update, finish.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/hash_registry.h"

struct THMACContext {
  const HashDescriptor* hash;            // the hash in use
  THashContext context;                  // the inner hash, after the key block
  uint8_t keyBlock[kHashMaxBlockLength];  // the key block, XORed with 0x36 (blockLength bytes)
};

// A key longer than the block length is hashed first; the key is zero-padded to the block,
// XORed with 0x36 and hashed as the first block.
void HmacStart(THMACContext& context, const HashDescriptor& hash, const void* key, size_t keyLength);
void HmacUpdate(THMACContext& context, const void* data, size_t length);
// Writes hash.digestLength bytes (20 for SHA-1): the outer hash over (key block XOR 0x5C) and
// the inner digest. Clears the context.
void HmacFinish(THMACContext& context, uint8_t* digest);

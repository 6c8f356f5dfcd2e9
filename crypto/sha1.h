// SHA-1 (FIPS 180): 64-byte blocks, big-endian words, a 64-bit bit counter, padding with 0x80
// and zeros to 56 bytes of the last block. The context is cleared after finishing. The block
// function uses SHA-NI where the processor has it (see crypto/cpu_features.h), with the same
// results. SHA-1 is also registered in the hash registry (crypto/hash_registry.h).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kSHA1BlockSize = 64;
constexpr size_t kSHA1DigestSize = 20;

struct TSHA1Context {
  uint32_t state[5];
  uint64_t bitLength;  // message length so far, in bits
  uint8_t buffer[kSHA1BlockSize];
  uint32_t index;  // bytes waiting in buffer
};

void SHA1Init(TSHA1Context& context);
void SHA1Update(TSHA1Context& context, const void* data, size_t length);
// Writes the 20-byte digest and clears the context.
void SHA1Final(TSHA1Context& context, uint8_t* digest);
// The digest of one message.
void SHA1Full(const void* data, size_t length, uint8_t* digest);

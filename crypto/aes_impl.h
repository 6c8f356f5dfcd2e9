// The AES round functions behind TCipher_Rijndael. Internal to crypto/.
//
// Round keys are kept as bytes in the standard order (FIPS-197 byte order of each round key),
// which is what both the table-driven code (through little-endian column words) and AES-NI
// read. enc holds rounds+1 round keys, dec the round keys of the equivalent inverse cipher:
// dec[0] = enc[rounds], dec[i] = InvMixColumns(enc[rounds - i]), dec[rounds] = enc[0].
#pragma once

#include <cstddef>
#include <cstdint>

namespace qp_crypto_detail {

// keyBytes is 16, 24 or 32 (the key already padded); rounds 10, 12 or 14.
void AesExpandKey(const uint8_t* key, int keyBytes, int rounds, uint8_t* enc, uint8_t* dec);

void AesEncryptTable(const uint8_t* enc, int rounds, const uint8_t* in, uint8_t* out);
void AesDecryptTable(const uint8_t* dec, int rounds, const uint8_t* in, uint8_t* out);

// AES-NI (only call when CpuHasAesNi()).
void AesEncryptNi(const uint8_t* enc, int rounds, const uint8_t* in, uint8_t* out);
void AesDecryptNi(const uint8_t* dec, int rounds, const uint8_t* in, uint8_t* out);
// Counter mode over whole blocks: for each block, the little-endian 64-bit counter in bytes
// 0-7 of counter is incremented (bytes 8-15 unchanged), the counter block is encrypted and
// XORed into data. lastKeyStream receives the key-stream block of the last block.
void AesCounterBlocksNi(const uint8_t* enc, int rounds, uint8_t* counter, uint8_t* data,
                        size_t blocks, uint8_t* lastKeyStream);

}  // namespace qp_crypto_detail

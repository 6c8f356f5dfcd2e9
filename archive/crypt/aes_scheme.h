// The AES item scheme's shared pieces, used by the decode path's AES decryptor and by the
// TAESCryptoTransform adapter alike: the sizes of its layout, the key bits of each strength,
// keying the counter-mode cipher, the pass that runs counter mode and the authentication
// code over the same bytes, and the comparison of codes. Owns nothing; the callers own the
// cipher and the HMAC state they pass in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/base/types.h"
#include "crypto/hmac.h"
#include "crypto/rijndael.h"

constexpr int kAesIterations = 1000;
constexpr int kAesVerifierSize = 2;
constexpr int kAesAuthCodeSize = 10;
constexpr uint16_t kAesVendorVersion = 2;
// The longest key (256 bits) in bytes, and the longest derivation: AES key, HMAC key and
// verification value.
constexpr size_t kAesMaxKeyLength = 32;
constexpr size_t kAesMaxDerivedLength = 2 * kAesMaxKeyLength + kAesVerifierSize;

// 128, 192 or 256 for the AES schemes; 0 for caPkzipClassic.
[[nodiscard]] int AesKeyBits(TQPCryptoAlgorithm algorithm);

// Raises ECryptoError unless keyBits is 128, 192 or 256.
void RequireAesKeyBits(int keyBits);

// A new cipher keyed with `key`, in counter mode: its counter is zero and its key-stream
// block used up, so the first data byte is covered by the encryption of counter 1.
std::unique_ptr<TCipher_Rijndael> NewAesCounterCipher(const uint8_t* key, size_t keyLength);

// Counter mode over `count` bytes from `source` into `target` (the same bytes or apart), with
// the ciphertext fed to `hmac` in the same pass: the input when decrypting, the output when
// encrypting. Interleaved in pieces that stay in the first-level cache, so a large block is
// walked through memory once rather than twice.
void AesCounterModeWithCode(TCipher_Rijndael& cipher, THMACContext& hmac, const uint8_t* source, uint8_t* target,
                            size_t count, bool decrypting);

// Compares without an early exit, so the time taken says nothing of where two codes differ.
[[nodiscard]] bool SameBytesInConstantTime(const uint8_t* a, const uint8_t* b, size_t n);

// PBKDF2 (RFC 2898, section 5.2) with HMAC over a registered hash, and TPBKDF2, the key
// generator that the engine's AES transform calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crypto/hash_registry.h"

enum : int {
  kPbkdf2Ok = 0,
  kPbkdf2NoHash = 1,         // no hash descriptor given
  kPbkdf2NoDigestLength = 2,  // the descriptor's digest length is 0
};

// Derives outputLength bytes into output: for block index i = 1, 2, ..., U1 = HMAC(password,
// salt || i as 4 bytes big-endian), Uj = HMAC(password, Uj-1) up to the iteration count (at
// least one), T = U1 ^ ... ^ Uc; the blocks concatenated and cut to outputLength. Returns one
// of the codes above; with SHA-1 it cannot fail.
[[nodiscard]] int Pbkdf2(const HashDescriptor* hash, const void* password, size_t passwordLength, const void* salt,
           size_t saltLength, uint32_t iterations, void* output, uint16_t outputLength);

class TPBKDF2 {
 public:
  // A salt of saltLength bytes, each uniform in 0..254 (never 0xFF), from the process-wide
  // general-purpose generator reseeded first (crypto/pseudo_random.h). Not cryptographic.
  static std::unique_ptr<TPBKDF2> CreateWithRandomSalt(const std::string& password, int iterations,
                                                       int saltLength);
  // Copies saltLength bytes of salt.
  static std::unique_ptr<TPBKDF2> CreateWithSalt(const std::string& password, int iterations,
                                                 int saltLength, const uint8_t* salt);
  ~TPBKDF2();
  TPBKDF2(const TPBKDF2&) = delete;
  TPBKDF2& operator=(const TPBKDF2&) = delete;

  // PBKDF2 with HMAC over the hash of algorithm number 3 (SHA-1), the password bytes, the
  // salt and the iteration count. The password must be at most 32 767 bytes long.
  std::vector<uint8_t> DeriveKey(uint16_t length) const;
  // A new copy of the salt.
  std::vector<uint8_t> GetSalt() const { return salt_; }

  const std::string& Password() const { return password_; }
  int Iterations() const { return iterations_; }
  int SaltLength() const { return static_cast<int>(salt_.size()); }

 private:
  TPBKDF2(const std::string& password, int iterations, std::vector<uint8_t> salt);

  std::string password_;
  std::vector<uint8_t> salt_;
  int iterations_;
};

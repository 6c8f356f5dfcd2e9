#include "crypto/pbkdf2.h"

#include <algorithm>
#include <cstring>

#include "crypto/byte_order.h"
#include "crypto/cipher_exception.h"
#include "crypto/hmac.h"
#include "crypto/pseudo_random.h"

using qp_crypto_detail::SecureZero;

int Pbkdf2(const HashDescriptor* hash, const void* password, size_t passwordLength, const void* salt,
           size_t saltLength, uint32_t iterations, void* output, uint16_t outputLength) {
  if (!hash) return kPbkdf2NoHash;
  if (hash->digestLength == 0) return kPbkdf2NoDigestLength;
  const size_t dl = hash->digestLength, bl = hash->blockLength;
  // The inner and outer hash states after their key blocks are made once; every HMAC of the
  // iteration then starts from copies of them. The result is the HMAC of RFC 2104 exactly.
  THMACContext keyed;
  HmacStart(keyed, *hash, password, passwordLength);
  THashContext outer;
  uint8_t outerBlock[kHashMaxBlockLength];
  for (size_t i = 0; i < bl; ++i) outerBlock[i] = keyed.keyBlock[i] ^ 0x36 ^ 0x5C;
  hash->init(outer);
  hash->update(outer, outerBlock, bl);

  uint8_t u[kHashMaxDigestLength], t[kHashMaxDigestLength], inner[kHashMaxDigestLength];
  THashContext work;
  auto finishHmac = [&] {
    hash->finalize(work, inner);
    work = outer;
    hash->update(work, inner, dl);
    hash->finalize(work, u);
  };
  auto* out = static_cast<uint8_t*>(output);
  size_t left = outputLength;
  for (uint32_t index = 1; left; ++index) {
    uint8_t counter[4];
    qp_crypto_detail::StoreBE32(counter, index);
    work = keyed.context;
    hash->update(work, salt, saltLength);
    hash->update(work, counter, 4);
    finishHmac();
    std::memcpy(t, u, dl);
    for (uint32_t j = 2; j <= iterations; ++j) {
      work = keyed.context;
      hash->update(work, u, dl);
      finishHmac();
      for (size_t k = 0; k < dl; ++k) t[k] ^= u[k];
    }
    const size_t take = std::min(left, dl);
    std::memcpy(out, t, take);
    out += take;
    left -= take;
  }
  SecureZero(&keyed, sizeof keyed);
  SecureZero(&outer, sizeof outer);
  SecureZero(&work, sizeof work);
  SecureZero(outerBlock, sizeof outerBlock);
  SecureZero(u, sizeof u);
  SecureZero(t, sizeof t);
  SecureZero(inner, sizeof inner);
  return kPbkdf2Ok;
}

TPBKDF2::TPBKDF2(const std::string& password, int iterations, std::vector<uint8_t> salt)
    : password_(password), salt_(std::move(salt)), iterations_(iterations) {}

TPBKDF2::~TPBKDF2() {
  if (!salt_.empty()) SecureZero(salt_.data(), salt_.size());
  if (!password_.empty()) SecureZero(password_.data(), password_.size());
}

std::unique_ptr<TPBKDF2> TPBKDF2::CreateWithRandomSalt(const std::string& password, int iterations,
                                                       int saltLength) {
  std::vector<uint8_t> salt(static_cast<size_t>(std::max(saltLength, 0)));
  FillRandomBelow255(salt.data(), salt.size());
  return std::unique_ptr<TPBKDF2>(new TPBKDF2(password, iterations, std::move(salt)));
}

std::unique_ptr<TPBKDF2> TPBKDF2::CreateWithSalt(const std::string& password, int iterations,
                                                 int saltLength, const uint8_t* salt) {
  const auto n = static_cast<size_t>(std::max(saltLength, 0));
  std::vector<uint8_t> copy(salt, salt + (salt ? n : 0));
  copy.resize(n);
  return std::unique_ptr<TPBKDF2>(new TPBKDF2(password, iterations, std::move(copy)));
}

std::vector<uint8_t> TPBKDF2::DeriveKey(uint16_t length) const {
  std::vector<uint8_t> key(length);
  // A key of zeros handed on as if derived would be a failure reported as success.
  if (Pbkdf2(FindHashById(kHashAlgorithmSHA1), password_.data(), password_.size(), salt_.data(), salt_.size(),
             static_cast<uint32_t>(std::max(iterations_, 1)), key.data(), length) != kPbkdf2Ok)
    throw ECryptoError("no SHA-1 in the hash registry for the key derivation");
  return key;
}

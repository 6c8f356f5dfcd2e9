// TQPAesDecryptor: the AES scheme behind the item decryptor interface, straight over the
// primitives: PBKDF2 with HMAC-SHA1 for the keys, counter mode and HMAC-SHA1 for the data.
#include "archive/crypt/item_decryptor.h"

#include "archive/crypt/aes_scheme.h"
#include "archive/io/stream.h"
#include "crypto/byte_order.h"
#include "crypto/cipher_exception.h"
#include "crypto/pbkdf2.h"

using qp_crypto_detail::SecureZero;

TQPAesDecryptor::TQPAesDecryptor(int keyBits) : keyBits_(keyBits) { RequireAesKeyBits(keyBits); }

TQPAesDecryptor::~TQPAesDecryptor() { Forget(); }

void TQPAesDecryptor::Forget() {
  if (cipher_) cipher_->Wipe();
  cipher_.reset();
  SecureZero(&hmac_, sizeof hmac_);
  SecureZero(mac_, sizeof mac_);
  macFinished_ = false;
}

size_t TQPAesDecryptor::HeaderSize() const { return static_cast<size_t>(keyBits_ / 16 + kAesVerifierSize); }

size_t TQPAesDecryptor::TrailerSize() const { return kAesAuthCodeSize; }

bool TQPAesDecryptor::CheckPassword(std::span<const uint8_t> header, const std::string& password) {
  if (header.size() < HeaderSize()) throw EStreamError("encryption header cut short");
  Forget();
  const size_t keyLength = static_cast<size_t>(keyBits_ / 8);
  const size_t saltLength = keyLength / 2;
  const size_t length = 2 * keyLength + kAesVerifierSize;
  // AES key, HMAC key, verification value.
  uint8_t derived[kAesMaxDerivedLength];
  const HashDescriptor* sha1 = FindHashByName("SHA1");
  if (Pbkdf2(sha1, password.data(), password.size(), header.data(), saltLength, kAesIterations, derived,
             static_cast<uint16_t>(length)) != kPbkdf2Ok)
    throw ECryptoError("no SHA-1 for the AES key derivation");
  const bool right = SameBytesInConstantTime(derived + 2 * keyLength, header.data() + saltLength, kAesVerifierSize);
  if (right) {
    cipher_ = NewAesCounterCipher(derived, keyLength);
    HmacStart(hmac_, *sha1, derived + keyLength, keyLength);
  }
  SecureZero(derived, sizeof derived);
  return right;
}

void TQPAesDecryptor::DecryptInPlace(std::span<uint8_t> data) {
  if (!cipher_) throw ECryptoError("decrypting before the password was checked");
  AesCounterModeWithCode(*cipher_, hmac_, data.data(), data.data(), data.size(), true);
}

bool TQPAesDecryptor::Verify(std::span<const uint8_t> trailer) {
  if (!cipher_ || trailer.size() < TrailerSize()) return false;
  if (!macFinished_) {
    HmacFinish(hmac_, mac_);
    macFinished_ = true;
  }
  return SameBytesInConstantTime(mac_, trailer.data(), kAesAuthCodeSize);
}

// TAESCryptoTransform: AES items in the layout of the 0x9901 extra field. The data of such an
// item is: salt (half the key length), a 2-byte password verification value, the encrypted
// stream, a 10-byte authentication code. Keys come from PBKDF2 with HMAC-SHA1 over the
// password and the salt, 1000 iterations, 2 x key length + 2 bytes, split into the AES key,
// the HMAC key and the verification value. The data is AES in counter mode (a little-endian
// 64-bit counter from 1) and is authenticated by HMAC-SHA1 over the encrypted bytes, of which
// the first 10 bytes are stored. Key material is wiped when the transform is reset or freed.
//
// The published transform, kept as an adapter at the edge: whoever creates one owns it for
// one item (the tests' archive writer encrypts through it). Extraction does not go through
// it but through TQPAesDecryptor (item_decryptor.h); both run on the pieces of aes_scheme.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/crypt/aes_scheme.h"
#include "archive/crypt/crypto_transform.h"
#include "archive/base/types.h"
#include "crypto/hmac.h"
#include "crypto/rijndael.h"

class TAESCryptoTransform : public TQPCryptoTransform {
 public:
  // keyBits must be 128, 192 or 256 (ECryptoError otherwise).
  TAESCryptoTransform(int keyBits, uint16_t actualMethod, uint16_t vendorVersion);
  ~TAESCryptoTransform() override;

  // In encryption mode, or in decryption mode before a salt is known, a fresh random salt is
  // made; a known salt stays. Then the keys are derived.
  void Initialize(const std::string& password) override;
  // Derives from the password and the stored salt into scratch memory and compares the
  // verification value only.
  [[nodiscard]] bool CheckPassword(const std::string& password, const TDirItem& item) override;
  std::vector<uint8_t> GetEncryptionKey() override { return encryptionKey_; }
  std::string GetPassword() override { return password_; }
  void Reset() override;
  // Feeds the ciphertext to the authentication code, then decrypts it.
  void DecryptBuffer(const uint8_t* buffer, size_t offset, uint8_t* destination, size_t destinationOffset,
                     size_t count) override;
  // Encrypts, then feeds the ciphertext to the authentication code.
  void EncryptBuffer(const uint8_t* buffer, size_t offset, uint8_t* destination, size_t destinationOffset,
                     size_t count) override;
  // Salt followed by the verification value.
  std::vector<uint8_t> GetEncryptionHeader() override;
  void ReadEncryptionHeader(TQPStream& stream) override;
  int GetEncryptionHeaderSize() override { return keyLength_ / 2 + kAesVerifierSize; }
  std::vector<uint8_t> FinishAuthenticationCode() override;
  void ReadAuthenticationCode(TQPStream& stream) override;
  int GetAuthenticationCodeSize() override { return static_cast<int>(authCodeSize_); }
  // `item` and `crc` play no part: the code stands in for the CRC-32.
  [[nodiscard]] bool AuthenticationFailed(const TDirItem& item, uint32_t crc) override;
  TExtraBlock GetExtraField() override;

  // The header and the stored code from bytes already read: the stream operations above
  // read into a buffer and call these. Each takes exactly its size (ECryptoError).
  void SetEncryptionHeader(std::span<const uint8_t> header);
  void SetAuthenticationCode(std::span<const uint8_t> code);

  // True when `password` is the one the keys were derived from; unlike GetPassword it makes
  // no copy of the password that would outlive the transform unwiped.
  bool HoldsPassword(const std::string& password) const { return password == password_; }
  int KeyBits() const { return keyBits_; }
  uint16_t ActualMethod() const { return actualMethod_; }
  uint16_t VendorVersion() const { return vendorVersion_; }
  // The salt and the verification value in force (for tests and the header writer).
  const std::vector<uint8_t>& Salt() const { return salt_; }
  const std::vector<uint8_t>& Verifier() const { return verifier_; }
  // True once keys have been derived and not wiped since.
  bool Keyed() const { return cipher_ != nullptr; }

 private:
  // Derives the keys from the password and the salt held by the key generator, splits them,
  // starts the HMAC and keys the cipher afresh in counter mode.
  void DeriveKeys();
  void RequireKeys() const;
  // Counter mode over count bytes, with the ciphertext fed to the HMAC in the same pass.
  void Run(const uint8_t* source, uint8_t* target, size_t count, TQPTransformMode direction);

  THMACContext hmac_{};
  const HashDescriptor* hash_;
  std::unique_ptr<TCipher_Rijndael> cipher_;
  uint16_t keyLength_;
  std::vector<uint8_t> hmacKey_, encryptionKey_, verifier_, salt_, authCode_;
  std::string password_;
  uint16_t vendorVersion_;
  uint16_t actualMethod_;
  uint32_t authCodeSize_ = kAesAuthCodeSize;

  const int keyBits_;
  // The finished HMAC, kept so that the code can be asked for more than once.
  bool macFinished_ = false;
  uint8_t mac_[kHashMaxDigestLength] = {};
};

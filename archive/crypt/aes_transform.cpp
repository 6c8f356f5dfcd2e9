#include "archive/crypt/aes_transform.h"

#include <algorithm>
#include <stdexcept>

#include "archive/crypt/aes_extra_field.h"
#include "archive/format/little_endian.h"
#include "archive/format/records.h"
#include "archive/io/stream.h"
#include "crypto/byte_order.h"
#include "crypto/cipher_exception.h"

namespace {

using qp_crypto_detail::SecureZero;

void Wipe(std::vector<uint8_t>& buffer) {
  if (!buffer.empty()) SecureZero(buffer.data(), buffer.size());
  buffer.clear();
}

void Wipe(std::string& text) {
  if (!text.empty()) SecureZero(text.data(), text.size());
  text.clear();
}

}  // namespace

TAESCryptoTransform::TAESCryptoTransform(int keyBits, uint16_t actualMethod, uint16_t vendorVersion)
    : hash_(FindHashByName("SHA1")),
      keyLength_(static_cast<uint16_t>(keyBits / 8)),
      vendorVersion_(vendorVersion),
      actualMethod_(actualMethod),
      keyBits_(keyBits) {
  RequireAesKeyBits(keyBits);
}

TAESCryptoTransform::~TAESCryptoTransform() { Reset(); }

void TAESCryptoTransform::Reset() {
  if (cipher_) cipher_->Wipe();
  cipher_.reset();
  keyGenerator_.reset();  // wipes its own copies of password and salt
  SecureZero(&hmac_, sizeof hmac_);
  SecureZero(mac_, sizeof mac_);
  macFinished_ = false;
  Wipe(hmacKey_);
  Wipe(encryptionKey_);
  Wipe(verifier_);
  Wipe(salt_);
  Wipe(authCode_);
  Wipe(password_);
  keyLength_ = 0;
}

void TAESCryptoTransform::Initialize(const std::string& password) {
  Wipe(password_);
  password_ = password;
  keyLength_ = static_cast<uint16_t>(keyBits_ / 8);
  const int saltLength = keyLength_ / 2;
  if (mode_ == tmEncryption || salt_.empty()) {
    keyGenerator_ = TPBKDF2::CreateWithRandomSalt(password_, kAesIterations, saltLength);
    Wipe(salt_);
    salt_ = keyGenerator_->GetSalt();
  } else {
    keyGenerator_ = TPBKDF2::CreateWithSalt(password_, kAesIterations, saltLength, salt_.data());
  }
  DeriveKeys();
}

void TAESCryptoTransform::DeriveKeys() {
  std::vector<uint8_t> derived = keyGenerator_->DeriveKey(static_cast<uint16_t>(2 * keyLength_ + kAesVerifierSize));
  const auto key = derived.begin();
  const auto macKey = key + keyLength_;
  const auto verifier = macKey + keyLength_;
  Wipe(encryptionKey_);
  Wipe(hmacKey_);
  encryptionKey_.assign(key, macKey);
  hmacKey_.assign(macKey, verifier);
  verifier_.assign(verifier, derived.end());
  Wipe(derived);

  SecureZero(&hmac_, sizeof hmac_);
  HmacStart(hmac_, *hash_, hmacKey_.data(), hmacKey_.size());
  SecureZero(mac_, sizeof mac_);
  macFinished_ = false;
  if (cipher_) cipher_->Wipe();
  // A new cipher object starts with a zero counter and an empty key-stream block.
  cipher_ = NewAesCounterCipher(encryptionKey_.data(), encryptionKey_.size());
}

void TAESCryptoTransform::RequireKeys() const {
  if (!cipher_) throw ECipherException::NotInitialized("TCipher_Rijndael");
}

bool TAESCryptoTransform::CheckPassword(const std::string& password, const TDirItem&) {
  if (salt_.empty() || verifier_.size() != kAesVerifierSize) return false;
  const uint16_t length = static_cast<uint16_t>(2 * keyLength_ + kAesVerifierSize);
  auto generator =
      TPBKDF2::CreateWithSalt(password, kAesIterations, static_cast<int>(salt_.size()), salt_.data());
  std::vector<uint8_t> scratch = generator->DeriveKey(length);
  const bool right = SameBytesInConstantTime(scratch.data() + length - kAesVerifierSize, verifier_.data(), kAesVerifierSize);
  Wipe(scratch);
  return right;
}

void TAESCryptoTransform::DecryptBuffer(const uint8_t* buffer, size_t offset, uint8_t* destination,
                                        size_t destinationOffset, size_t count) {
  Run(buffer + offset, destination + destinationOffset, count, tmDecryption);
}

void TAESCryptoTransform::EncryptBuffer(const uint8_t* buffer, size_t offset, uint8_t* destination,
                                        size_t destinationOffset, size_t count) {
  Run(buffer + offset, destination + destinationOffset, count, tmEncryption);
}

void TAESCryptoTransform::Run(const uint8_t* source, uint8_t* target, size_t count, TQPTransformMode direction) {
  RequireKeys();
  AesCounterModeWithCode(*cipher_, hmac_, source, target, count, direction == tmDecryption);
}

std::vector<uint8_t> TAESCryptoTransform::GetEncryptionHeader() {
  std::vector<uint8_t> header(salt_);
  header.insert(header.end(), verifier_.begin(), verifier_.end());
  return header;
}

void TAESCryptoTransform::ReadEncryptionHeader(TQPStream& stream) {
  // Sized from the key bits, which stay known after a Reset.
  std::vector<uint8_t> header(static_cast<size_t>(keyBits_ / 16 + kAesVerifierSize));
  stream.ReadBuffer(header.data(), header.size());
  SetEncryptionHeader(header);
}

void TAESCryptoTransform::SetEncryptionHeader(std::span<const uint8_t> header) {
  keyLength_ = static_cast<uint16_t>(keyBits_ / 8);
  const size_t saltLength = keyLength_ / 2;
  if (header.size() != saltLength + kAesVerifierSize)
    throw ECryptoError("AES encryption header has the wrong size");
  Wipe(salt_);
  salt_.assign(header.begin(), header.begin() + static_cast<ptrdiff_t>(saltLength));
  keyGenerator_ = TPBKDF2::CreateWithSalt(password_, kAesIterations, static_cast<int>(saltLength), salt_.data());
  DeriveKeys();
  verifier_.assign(header.end() - kAesVerifierSize, header.end());
}

std::vector<uint8_t> TAESCryptoTransform::FinishAuthenticationCode() {
  RequireKeys();
  if (!macFinished_) {
    HmacFinish(hmac_, mac_);
    macFinished_ = true;
  }
  return std::vector<uint8_t>(mac_, mac_ + authCodeSize_);
}

void TAESCryptoTransform::ReadAuthenticationCode(TQPStream& stream) {
  uint8_t code[kAesAuthCodeSize];
  stream.ReadBuffer(code, sizeof code);
  SetAuthenticationCode(code);
}

void TAESCryptoTransform::SetAuthenticationCode(std::span<const uint8_t> code) {
  if (code.size() != authCodeSize_) throw ECryptoError("AES authentication code has the wrong size");
  authCode_.assign(code.begin(), code.end());
}

bool TAESCryptoTransform::AuthenticationFailed(const TDirItem&, uint32_t) {
  const std::vector<uint8_t> computed = FinishAuthenticationCode();
  return authCode_.size() != computed.size() || !SameBytesInConstantTime(computed.data(), authCode_.data(), computed.size());
}

TExtraBlock TAESCryptoTransform::GetExtraField() {
  TExtraBlock block;
  block.HeaderId = kAesExtraId;
  block.DataSize = TAesExtraField::kDataSize;
  block.Data.resize(block.DataSize);
  PutLE<uint16_t>(block.Data.data(), vendorVersion_);
  block.Data[2] = 'A';
  block.Data[3] = 'E';
  block.Data[4] = static_cast<uint8_t>(keyBits_ / 64 - 1);
  PutLE<uint16_t>(block.Data.data() + 5, actualMethod_);
  return block;
}

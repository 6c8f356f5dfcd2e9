// TQPClassicDecryptor: the traditional scheme behind the item decryptor interface.
#include "archive/crypt/item_decryptor.h"

#include "archive/io/stream.h"
#include "crypto/byte_order.h"
#include "crypto/cipher_exception.h"

TQPClassicDecryptor::~TQPClassicDecryptor() { qp_crypto_detail::SecureZero(&keys_, sizeof keys_); }

bool TQPClassicDecryptor::CheckPassword(std::span<const uint8_t> header, const std::string& password) {
  if (header.size() < kClassicHeaderSize) throw EStreamError("encryption header cut short");
  ready_ = CheckClassicPassword(header.first(kClassicHeaderSize), password, keys_, localCrc32_, localTime_,
                                localFlags_);
  return ready_;
}

void TQPClassicDecryptor::DecryptInPlace(std::span<uint8_t> data) {
  if (!ready_) throw ECryptoError("decrypting before the password was checked");
  DecryptClassicBytes(keys_, data.data(), data.size());
}

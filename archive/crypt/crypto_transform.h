// TQPCryptoTransform: the abstract per-item encryption transform. One object serves one
// item: the engine creates it, sets the mode, initialises it with the password, checks the
// password against the stored header, runs every block of the item's data through it and
// finally asks whether the authentication code holds. The sixteen operations keep their
// fixed order, since derived transforms are written against it. Extraction decrypts through
// IQPItemDecryptor (item_decryptor.h) instead; this interface stays for those built on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/format/dir_item.h"
#include "crypto/pbkdf2.h"

class TQPStream;

enum TQPTransformMode : uint8_t { tmEncryption, tmDecryption };

class TQPCryptoTransform {
 public:
  TQPCryptoTransform() = default;
  virtual ~TQPCryptoTransform() = default;
  TQPCryptoTransform(const TQPCryptoTransform&) = delete;
  TQPCryptoTransform& operator=(const TQPCryptoTransform&) = delete;

  // Stores the password and derives the keys.
  virtual void Initialize(const std::string& password) = 0;
  // True when the password fits the stored header; changes no state.
  [[nodiscard]] virtual bool CheckPassword(const std::string& password, const TDirItem& item) = 0;
  // A copy of the data key; the caller wipes it.
  virtual std::vector<uint8_t> GetEncryptionKey() = 0;
  virtual std::string GetPassword() = 0;
  virtual void SetTransformMode(TQPTransformMode mode) { mode_ = mode; }
  // Forgets the password and wipes every key and buffer.
  virtual void Reset() = 0;
  // Transform count bytes from buffer + offset into destination + destinationOffset; the two
  // ranges may be the same bytes.
  virtual void DecryptBuffer(const uint8_t* buffer, size_t offset, uint8_t* destination,
                             size_t destinationOffset, size_t count) = 0;
  virtual void EncryptBuffer(const uint8_t* buffer, size_t offset, uint8_t* destination,
                             size_t destinationOffset, size_t count) = 0;
  // The header that precedes the encrypted data.
  virtual std::vector<uint8_t> GetEncryptionHeader() = 0;
  // Reads the header at the stream's position (EStreamError when the stream ends first).
  virtual void ReadEncryptionHeader(TQPStream& stream) = 0;
  virtual int GetEncryptionHeaderSize() = 0;
  // Ends the running authentication code and returns it.
  virtual std::vector<uint8_t> FinishAuthenticationCode() = 0;
  // Reads the stored code that follows the data (EStreamError when the stream ends first).
  virtual void ReadAuthenticationCode(TQPStream& stream) = 0;
  virtual int GetAuthenticationCodeSize() = 0;
  // True when the data read does not authenticate; `crc` is the CRC-32 of the output, for
  // schemes that check that instead.
  [[nodiscard]] virtual bool AuthenticationFailed(const TDirItem& item, uint32_t crc) = 0;
  // The extra field that records this transform in an item's headers.
  virtual TExtraBlock GetExtraField() = 0;

  TQPTransformMode TransformMode() const { return mode_; }

 protected:
  TQPTransformMode mode_ = tmEncryption;
  // Made and released by the derived transform.
  std::unique_ptr<TPBKDF2> keyGenerator_;
};

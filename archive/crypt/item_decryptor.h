// IQPItemDecryptor: the decryption of one encrypted item in the decode path, and its two
// schemes, TQPClassicDecryptor (the traditional ZIP encryption, over classic_keys.h) and
// TQPAesDecryptor (the AES layout of the 0x9901 extra field, over the crypto/ primitives).
//
// Who owns what: the decoding of one item creates the decryptor, owns it for that item only
// and destroys it on every way out, which wipes the key material. The password loop borrows
// it to check passwords; the item decoder and its decrypt-ahead worker borrow it, for the
// length of one Decode, to decrypt the blocks and prove the item after the last one. The
// published TQPCryptoTransform (crypto_transform.h) is not in this path: it stays an adapter
// at the edge for those who write items through it.
//
//   auto decryptor = IQPItemDecryptor::Create(ItemCryptoInfoOf(item, local));   // null: plain
//   payload = decryptor->PayloadSize(compressedSize);        // none: too short, damaged
//   read HeaderSize() bytes; while (!decryptor->CheckPassword(header, password)) ask...
//   for each block: decryptor->DecryptInPlace(block);  then inflate or copy
//   read TrailerSize() bytes; ok = Verify(trailer) && (!ComparesCrc() || crc matches)
//
// A wrong password is an answer (false), never an exception, and no password reaches any
// message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "archive/crypt/classic_keys.h"
#include "crypto/hmac.h"
#include "crypto/rijndael.h"

struct TDirItem;
struct TLocalFileHeader;

// Which scheme decrypts an item: none when flag bit 0 is clear; AES when the version needed is
// below 16660 and the item's CryptoAlgorithm is 1 to 3; the traditional scheme otherwise.
enum class TItemScheme : uint8_t { None, Classic, Aes };
[[nodiscard]] TItemScheme ItemSchemeOf(uint16_t flags, uint16_t versionNeeded, uint8_t cryptoAlgorithm);

// What the decryptor needs of an item: the directory record's fields and, for the traditional
// check byte, three fields of the local header.
struct TItemCryptoInfo {
  uint16_t Flags = 0;           // general-purpose flags of the directory record
  uint16_t VersionNeeded = 0;
  uint8_t CryptoAlgorithm = 0;  // a TQPCryptoAlgorithm value
  uint16_t ActualMethod = 0;
  uint16_t LocalFlags = 0;
  uint16_t LocalTime = 0;
  uint32_t LocalCrc32 = 0;
};
[[nodiscard]] TItemCryptoInfo ItemCryptoInfoOf(const TDirItem& item, const TLocalFileHeader& local);

class IQPItemDecryptor {
 public:
  // No trailer is longer than this (the AES authentication code has 10 bytes).
  static constexpr size_t kMaxTrailerSize = 16;

  // Null when the item is not encrypted.
  [[nodiscard]] static std::unique_ptr<IQPItemDecryptor> Create(const TItemCryptoInfo& info);
  virtual ~IQPItemDecryptor() = default;

  virtual TItemScheme Scheme() const = 0;
  // Bytes of the compressed size in front of the data (12; or salt and verification value:
  // 10, 14, 18) and behind it (0; or the 10-byte authentication code).
  virtual size_t HeaderSize() const = 0;
  virtual size_t TrailerSize() const = 0;
  // The compressed size less header and trailer; none when it cannot even hold them.
  [[nodiscard]] std::optional<uint64_t> PayloadSize(uint64_t compressedSize) const;

  // True when the password opens the item. `header` holds HeaderSize() bytes as stored; a
  // shorter header means the archive ends inside it and raises EStreamError. Each call starts
  // afresh, so the same header can be checked again with another password.
  [[nodiscard]] virtual bool CheckPassword(std::span<const uint8_t> header, const std::string& password) = 0;
  // Decrypts the next bytes of the data, continuing from the previous call; blocks may have
  // any length. Only after a CheckPassword that returned true (ECryptoError otherwise).
  virtual void DecryptInPlace(std::span<uint8_t> data) = 0;
  // After the last block, with the TrailerSize() bytes that follow the data: false when the
  // authentication code does not match or the trailer is short. The traditional scheme has
  // nothing to verify here (its proof is the CRC-32).
  [[nodiscard]] virtual bool Verify(std::span<const uint8_t> trailer) = 0;
  // Whether the CRC-32 of the output is to be compared as for plain items: true for the
  // traditional scheme; AES items are proven by their authentication code instead.
  virtual bool ComparesCrc() const = 0;
};

class TQPClassicDecryptor final : public IQPItemDecryptor {
 public:
  // The check byte comes from the local header's CRC-32, time and flags.
  TQPClassicDecryptor(uint32_t localCrc32, uint16_t localTime, uint16_t localFlags)
      : localCrc32_(localCrc32), localTime_(localTime), localFlags_(localFlags) {}
  ~TQPClassicDecryptor() override;

  TItemScheme Scheme() const override { return TItemScheme::Classic; }
  size_t HeaderSize() const override { return kClassicHeaderSize; }
  size_t TrailerSize() const override { return 0; }
  [[nodiscard]] bool CheckPassword(std::span<const uint8_t> header, const std::string& password) override;
  void DecryptInPlace(std::span<uint8_t> data) override;
  [[nodiscard]] bool Verify(std::span<const uint8_t>) override { return true; }
  bool ComparesCrc() const override { return true; }

 private:
  uint32_t localCrc32_;
  uint16_t localTime_;
  uint16_t localFlags_;
  ClassicKeys keys_;
  bool ready_ = false;
};

class TQPAesDecryptor final : public IQPItemDecryptor {
 public:
  // keyBits must be 128, 192 or 256 (ECryptoError otherwise).
  explicit TQPAesDecryptor(int keyBits);
  ~TQPAesDecryptor() override;

  TItemScheme Scheme() const override { return TItemScheme::Aes; }
  size_t HeaderSize() const override;
  size_t TrailerSize() const override;
  // One derivation from the password and the stored salt: the verification value decides,
  // and when it matches the same derivation keys the cipher and the authentication code.
  [[nodiscard]] bool CheckPassword(std::span<const uint8_t> header, const std::string& password) override;
  // Feeds the ciphertext to the authentication code, then decrypts it.
  void DecryptInPlace(std::span<uint8_t> data) override;
  [[nodiscard]] bool Verify(std::span<const uint8_t> trailer) override;
  bool ComparesCrc() const override { return false; }

 private:
  void Forget();

  const int keyBits_;
  std::unique_ptr<TCipher_Rijndael> cipher_;  // null until a password opened the item
  THMACContext hmac_{};
  // The finished code, kept so that Verify can be asked more than once.
  bool macFinished_ = false;
  uint8_t mac_[kHashMaxDigestLength] = {};
};

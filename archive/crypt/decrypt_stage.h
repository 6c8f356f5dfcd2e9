// The decrypt stage of decoding one item: made from the item's header fields, it checks a
// password against the encryption header, decrypts the data block by block in place, and
// at the end verifies what the scheme can verify. It hides which scheme is at work:
//
//   auto stage = TItemDecryptStage::Create(ItemCryptoInfoOf(item, local), password);
//   if (stage) {
//     payload = stage->PayloadSize(compressedSize);           // none: too short, damaged
//     read stage->HeaderSize() bytes; while (!stage->CheckPassword(header, password)) ask...
//     for each block: stage->DecryptInPlace(block);  then inflate or copy
//     read stage->TrailerSize() bytes; ok = stage->Verify(trailer) && (!stage->ComparesCrc() || crc ok)
//   }
//
// A wrong password is an answer (false), never an exception. Key material is wiped when the
// stage is destroyed, and no password reaches any message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>


struct TDirItem;
struct TLocalFileHeader;

// Which scheme decrypts an item: none when flag bit 0 is clear; AES when the version needed is
// below 16660 and the item's CryptoAlgorithm is 1 to 3; the traditional scheme otherwise.
enum class TItemScheme : uint8_t { None, Classic, Aes };
TItemScheme ItemSchemeOf(uint16_t flags, uint16_t versionNeeded, uint8_t cryptoAlgorithm);

// What the stage needs of an item: the directory record's fields and, for the traditional
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
TItemCryptoInfo ItemCryptoInfoOf(const TDirItem& item, const TLocalFileHeader& local);

class TItemDecryptStage {
 public:
  // Null when the item is not encrypted. An AES stage is initialised with the password.
  static std::unique_ptr<TItemDecryptStage> Create(const TItemCryptoInfo& info, const std::string& password);
  virtual ~TItemDecryptStage() = default;

  virtual TItemScheme Scheme() const = 0;
  // Bytes of the compressed size in front of the data (12; or salt and verification value:
  // 10, 14, 18) and behind it (0; or the 10-byte authentication code).
  virtual size_t HeaderSize() const = 0;
  virtual size_t TrailerSize() const = 0;
  // The compressed size less header and trailer; none when it cannot even hold them.
  std::optional<uint64_t> PayloadSize(uint64_t compressedSize) const;

  // True when the password opens the item. `header` holds HeaderSize() bytes as stored; a
  // shorter header means the archive ends inside it and raises EStreamError. Each call starts
  // afresh, so the same header can be checked again with another password.
  virtual bool CheckPassword(std::span<const uint8_t> header, const std::string& password) = 0;
  // Decrypts the next bytes of the data, continuing from the previous call; blocks may have
  // any length. Only after a CheckPassword that returned true (ECryptoError otherwise).
  virtual void DecryptInPlace(std::span<uint8_t> data) = 0;
  // After the last block, with the TrailerSize() bytes that follow the data: false when the
  // authentication code does not match or the trailer is short. The traditional scheme has
  // nothing to verify here (its proof is the CRC-32).
  virtual bool Verify(std::span<const uint8_t> trailer) = 0;
  // Whether the CRC-32 of the output is to be compared as for plain items: true for the
  // traditional scheme; AES items are proven by their authentication code instead.
  virtual bool ComparesCrc() const = 0;
};

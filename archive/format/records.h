// The on-disk records of the ZIP format, as plain structs with their stored field widths, and
// the parsers that fill them from the raw bytes. Parsing is separate from I/O: each Parse
// takes a span of exactly the record's fixed size, so a buffer of any other size does not
// compile. The records own nothing; the directory reader and the decoder fill their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;      // "PK" 03 04
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;   // "PK" 07 08
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;    // "PK" 01 02
constexpr uint32_t kEndRecordSignature = 0x06054B50;        // "PK" 05 06
constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;   // "PK" 06 06
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;     // "PK" 06 07

constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kUnicodeNameExtraId = 0x554E;            // "NU"
constexpr uint32_t kUnicodeNameSignature = 0x5843554E;      // "NUCX"
constexpr uint16_t kUnicodePathExtraId = 0x7075;            // "up": UTF-8 name, CRC of the stored one
constexpr uint16_t kAesExtraId = 0x9901;

constexpr uint32_t kMarker32 = 0xFFFFFFFF;
constexpr uint16_t kMarker16 = 0xFFFF;

// Items whose version needed to extract is at or above this value are not read as encrypted
// PKZIP classic or AES items.
constexpr uint16_t kStrongEncryptionVersion = 16660;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kMethodDeflate64 = 9;
constexpr uint16_t kMethodAes = 99;

struct TLocalFileHeader {
  static constexpr size_t kSize = 30;
  uint32_t Signature;
  uint16_t VersionNeeded;
  uint16_t Flags;
  uint16_t Method;
  uint16_t Time;
  uint16_t Date;
  uint32_t Crc32;
  uint32_t CompressedSize;
  uint32_t UncompressedSize;
  uint16_t NameLength;
  uint16_t ExtraLength;
  void Parse(std::span<const uint8_t, kSize> bytes);
};

struct TDataDescriptor {
  static constexpr size_t kSize = 16;
  uint32_t Signature;
  uint32_t Crc32;
  uint32_t CompressedSize;
  uint32_t UncompressedSize;
  void Parse(std::span<const uint8_t, kSize> bytes);
};

struct TCentralDirHeader {
  static constexpr size_t kSize = 46;
  uint32_t Signature = 0;
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t Time = 0;
  uint16_t Date = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  uint32_t LocalHeaderOffset = 0;
  void Parse(std::span<const uint8_t, kSize> bytes);
};

struct TEndOfCentralDir {
  static constexpr size_t kSize = 22;
  uint32_t Signature = kEndRecordSignature;
  uint16_t DiskNumber = 0;
  uint16_t StartDisk = 0;
  uint16_t EntriesOnDisk = 0;
  uint16_t TotalEntries = 0;
  uint32_t DirectorySize = 0;
  uint32_t DirectoryOffset = 0;
  uint16_t CommentLength = 0;
  void Parse(std::span<const uint8_t, kSize> bytes);
};

struct TZip64EndOfCentralDir {
  static constexpr size_t kSize = 56;
  uint32_t Signature = 0;
  uint64_t RecordSize = 0;
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint32_t DiskNumber = 0;
  uint32_t StartDisk = 0;
  uint64_t EntriesOnDisk = 0;
  uint64_t TotalEntries = 0;
  uint64_t DirectorySize = 0;
  uint64_t DirectoryOffset = 0;
  void Parse(std::span<const uint8_t, kSize> bytes);
};

struct TZip64Locator {
  static constexpr size_t kSize = 20;
  uint32_t Signature = 0;
  uint32_t EndRecordDisk = 0;
  uint64_t EndRecordOffset = 0;
  uint32_t TotalDisks = 0;
  void Parse(std::span<const uint8_t, kSize> bytes);
};

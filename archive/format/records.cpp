// Field-by-field parsing of the fixed parts of the ZIP records.
#include "archive/format/records.h"

#include "archive/format/little_endian.h"

void TLocalFileHeader::Parse(std::span<const uint8_t, kSize> bytes) {
  const uint8_t* p = bytes.data();
  Signature = GetLE<uint32_t>(p);
  VersionNeeded = GetLE<uint16_t>(p + 4);
  Flags = GetLE<uint16_t>(p + 6);
  Method = GetLE<uint16_t>(p + 8);
  Time = GetLE<uint16_t>(p + 10);
  Date = GetLE<uint16_t>(p + 12);
  Crc32 = GetLE<uint32_t>(p + 14);
  CompressedSize = GetLE<uint32_t>(p + 18);
  UncompressedSize = GetLE<uint32_t>(p + 22);
  NameLength = GetLE<uint16_t>(p + 26);
  ExtraLength = GetLE<uint16_t>(p + 28);
}

void TDataDescriptor::Parse(std::span<const uint8_t, kSize> bytes) {
  const uint8_t* p = bytes.data();
  Signature = GetLE<uint32_t>(p);
  Crc32 = GetLE<uint32_t>(p + 4);
  CompressedSize = GetLE<uint32_t>(p + 8);
  UncompressedSize = GetLE<uint32_t>(p + 12);
}

void TCentralDirHeader::Parse(std::span<const uint8_t, kSize> bytes) {
  const uint8_t* p = bytes.data();
  Signature = GetLE<uint32_t>(p);
  VersionMadeBy = GetLE<uint16_t>(p + 4);
  VersionNeeded = GetLE<uint16_t>(p + 6);
  Flags = GetLE<uint16_t>(p + 8);
  Method = GetLE<uint16_t>(p + 10);
  Time = GetLE<uint16_t>(p + 12);
  Date = GetLE<uint16_t>(p + 14);
  Crc32 = GetLE<uint32_t>(p + 16);
  CompressedSize = GetLE<uint32_t>(p + 20);
  UncompressedSize = GetLE<uint32_t>(p + 24);
  NameLength = GetLE<uint16_t>(p + 28);
  ExtraLength = GetLE<uint16_t>(p + 30);
  CommentLength = GetLE<uint16_t>(p + 32);
  DiskNumberStart = GetLE<uint16_t>(p + 34);
  InternalAttributes = GetLE<uint16_t>(p + 36);
  ExternalAttributes = GetLE<uint32_t>(p + 38);
  LocalHeaderOffset = GetLE<uint32_t>(p + 42);
}

void TEndOfCentralDir::Parse(std::span<const uint8_t, kSize> bytes) {
  const uint8_t* p = bytes.data();
  Signature = GetLE<uint32_t>(p);
  DiskNumber = GetLE<uint16_t>(p + 4);
  StartDisk = GetLE<uint16_t>(p + 6);
  EntriesOnDisk = GetLE<uint16_t>(p + 8);
  TotalEntries = GetLE<uint16_t>(p + 10);
  DirectorySize = GetLE<uint32_t>(p + 12);
  DirectoryOffset = GetLE<uint32_t>(p + 16);
  CommentLength = GetLE<uint16_t>(p + 20);
}

void TZip64EndOfCentralDir::Parse(std::span<const uint8_t, kSize> bytes) {
  const uint8_t* p = bytes.data();
  Signature = GetLE<uint32_t>(p);
  RecordSize = GetLE<uint64_t>(p + 4);
  VersionMadeBy = GetLE<uint16_t>(p + 12);
  VersionNeeded = GetLE<uint16_t>(p + 14);
  DiskNumber = GetLE<uint32_t>(p + 16);
  StartDisk = GetLE<uint32_t>(p + 20);
  EntriesOnDisk = GetLE<uint64_t>(p + 24);
  TotalEntries = GetLE<uint64_t>(p + 32);
  DirectorySize = GetLE<uint64_t>(p + 40);
  DirectoryOffset = GetLE<uint64_t>(p + 48);
}

void TZip64Locator::Parse(std::span<const uint8_t, kSize> bytes) {
  const uint8_t* p = bytes.data();
  Signature = GetLE<uint32_t>(p);
  EndRecordDisk = GetLE<uint32_t>(p + 4);
  EndRecordOffset = GetLE<uint64_t>(p + 8);
  TotalDisks = GetLE<uint32_t>(p + 16);
}

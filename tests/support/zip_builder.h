// A test-only ZIP writer that crafts what real writers rarely produce: prefixes with relative
// or absolute offsets, ZIP64 fields (also shorter than announced), raw name bytes with any
// flags, hand-made extra fields, huge comments, missing end records, wrong CRCs; and items
// encrypted with either scheme, so that the Windows build has encrypted archives too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;              // raw name bytes as stored
  std::string data;              // uncompressed content
  bool deflate = false;          // store deflated (raw deflate, level 6) instead of stored
  uint16_t flags = 0;
  uint16_t versionNeeded = 20;
  uint16_t versionMadeBy = 0x031E;  // host byte 3 (Unix), version 3.0
  uint16_t time = 0x6000;        // 12:00:00
  uint16_t date = 0x5A21;        // 2025-01-01
  uint32_t externalAttributes = 0x20;
  std::string centralExtra;      // raw extra bytes of the central header
  std::string localExtra;        // raw extra bytes of the local header
  std::string comment;
  std::optional<uint32_t> crc;   // overrides the computed CRC-32
  std::optional<uint16_t> method;         // overrides the stored method number
  std::optional<uint32_t> storedCompressedSize;    // overrides the central compressed size
  std::optional<uint32_t> storedUncompressedSize;  // overrides the central uncompressed size
  // Writes 0xFFFFFFFF markers in the central header with a ZIP64 extra field holding the
  // values (sizes and offset); zip64FieldBytes cuts that field's data short.
  bool zip64 = false;
  std::optional<size_t> zip64FieldBytes;
  bool dataDescriptor = false;   // flag bit 3: zero sizes/CRC locally, a descriptor after the data
  // Encrypts the data with this password (flag bit 0): the traditional scheme, or AES with
  // aesStrength 1 to 3 (method 99 and the 0x9901 field in both headers, the engine's own
  // transform in encryption mode).
  std::string password;
  uint8_t aesStrength = 0;
};

class ZipBuilder {
 public:
  ZipBuilder& Prefix(std::string bytes) { prefix_ = std::move(bytes); return *this; }
  // Offsets counted from the start of the archive data instead of the file.
  ZipBuilder& RelativeOffsets(bool on = true) { relative_ = on; return *this; }
  ZipBuilder& Add(ZipEntry entry) { entries_.push_back(std::move(entry)); return *this; }
  ZipBuilder& Comment(std::string comment) { comment_ = std::move(comment); return *this; }
  ZipBuilder& OmitEndRecord(bool on = true) { omitEnd_ = on; return *this; }
  // ZIP64 end record and locator in front of the end record (whose fields then hold markers).
  ZipBuilder& Zip64EndRecords(bool on = true) { zip64End_ = on; return *this; }
  // Overrides the end record's total-entries fields, or its directory offset.
  ZipBuilder& EntryCount(uint16_t count) { entryCount_ = count; return *this; }
  ZipBuilder& DirectoryOffset(uint32_t offset) { dirOffset_ = offset; return *this; }

  std::string Build() const;

 private:
  std::string prefix_;
  bool relative_ = false;
  std::vector<ZipEntry> entries_;
  std::string comment_;
  bool omitEnd_ = false;
  bool zip64End_ = false;
  std::optional<uint16_t> entryCount_;
  std::optional<uint32_t> dirOffset_;
};

// One extra field: id, size, data.
std::string ExtraField(uint16_t id, const std::string& data);
// The Unicode name field ("NUCX", count, UTF-16LE), with an optional count override.
// The Unicode path field (0x7075): version, CRC-32 of the name bytes it was written for, UTF-8.
std::string UnicodePathField(const std::string& utf8, const std::string& forName, uint8_t version = 1);
std::string UnicodeNameField(const std::u16string& name, std::optional<uint32_t> count = {},
                             uint32_t signature = 0x5843554E);
// The AES extra field (0x9901): vendor version 2, "AE", strength, actual method.
std::string AesExtraField(uint8_t strength, uint16_t actualMethod);
// Raw deflate (no zlib header) of data.
std::string RawDeflate(const std::string& data, int level = 6);
uint32_t TestCrc32(const std::string& data);

// Scratch files under the system temporary folder, removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};
std::string ReadFileBytes(const std::string& path);

// TDirItem: one item of the archive's directory, as read from its central directory header
// (or rebuilt from its local header), with its decoded name and interpreted extra fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/format/records.h"

struct TExtraBlock {
  uint16_t HeaderId = 0;
  uint16_t DataSize = 0;
  std::vector<uint8_t> Data;
};

struct TZip64Values {
  uint64_t UncompressedSize = 0;
  uint64_t CompressedSize = 0;
  uint64_t LocalHeaderOffset = 0;
  uint32_t DiskNumberStart = 0;
};

// The DOS folder bit of the external attributes.
constexpr uint32_t kFolderAttribute = 0x10;

// A stored name that ends in '/' or '\' names a folder, whatever its attributes say.
inline bool QPNameIsFolder(std::u16string_view name) {
  return !name.empty() && (name.back() == u'/' || name.back() == u'\\');
}

struct TDirItem {
  TCentralDirHeader CentralDirItem;
  std::u16string ItemName;
  std::string ItemComment;
  std::vector<TExtraBlock> ExtraBlocks;
  uint8_t CryptoAlgorithm = 0;
  bool HasZip64Values = false;
  TZip64Values Zip64Values;
  bool IsTagged = false;
  uint16_t ActualMethod = 0;
  uint8_t PendingOperation = 0;

  // The values in force: the ZIP64 value where the header field holds its marker and a ZIP64
  // value was read, else the header field.
  uint64_t UncompressedSize() const;
  uint64_t CompressedSize() const;
  uint64_t LocalHeaderOffset() const;
  uint32_t DiskNumberStart() const;
  // A folder: the folder attribute, or a stored name that ends in a separator.
  bool IsFolder() const { return (CentralDirItem.ExternalAttributes & kFolderAttribute) != 0 || QPNameIsFolder(ItemName); }
  bool IsEncrypted() const { return (CentralDirItem.Flags & kFlagEncrypted) != 0; }
};

// Takes from a ZIP64 extended-information field the values whose header fields hold the
// marker, in their fixed order; a value that does not lie wholly inside the data is skipped.
void ReadZip64Values(TDirItem& item, const uint8_t* data, size_t size);

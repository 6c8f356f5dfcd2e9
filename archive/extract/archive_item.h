// TQPArchiveItem: the public search record that FindFirst and FindNext fill, with its
// search state TInternalSearchRec (which callers must not change between the two calls).
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct TInternalSearchRec {
  // Masks longer than this (after the drive part is removed) are refused.
  static constexpr size_t kMaxMaskLength = 259;

  int32_t ItemIndex = 0;
  std::array<char16_t, 260> FileMask{};  // zero-terminated
  bool HasWildcards = false;
  int32_t SearchAttr = 0;
  std::u16string ExclusionMask;
  bool UseMaskLists = false;
};

struct TQPArchiveItem {
  std::u16string FileName;
  std::u16string StoredPath;
  int64_t CompressedSize = 0;
  int64_t UncompressedSize = 0;
  double CompressionRate = 0;
  bool Encrypted = false;
  uint16_t ModDate = 0;
  uint16_t ModTime = 0;
  uint32_t Crc32 = 0;
  uint32_t ExternalAttributes = 0;
  std::string Comment;
  TInternalSearchRec Handle;
};

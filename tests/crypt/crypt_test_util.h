// Helpers of the item encryption tests: find an encrypted item's bytes in an archive (through
// the engine's own directory reader), and decode it through an item decryptor the way the item
// decoder will: check the password on the header, decrypt the data in uneven blocks, inflate or
// copy, then the CRC-32 and the authentication code.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>

#include "archive/crypt/item_decryptor.h"
#include "tests/archive/open_memory.h"
#include "tests/support/zip_builder.h"

namespace crypt_test {

struct LocatedItem {
  TDirItem item;
  TLocalFileHeader local{};
  size_t dataOffset = 0;  // the first byte after the local header: the encryption header
};

inline LocatedItem Locate(const std::string& archive, int32_t index) {
  OpenedArchive opened(archive);
  LocatedItem located;
  located.item = opened.manager.Directory.ItemRef(index);
  const size_t offset = static_cast<size_t>(located.item.LocalHeaderOffset());
  located.local.Parse(std::span<const uint8_t, TLocalFileHeader::kSize>(
      reinterpret_cast<const uint8_t*>(archive.data()) + offset, TLocalFileHeader::kSize));
  located.dataOffset = offset + TLocalFileHeader::kSize + located.local.NameLength + located.local.ExtraLength;
  return located;
}

inline std::string RawInflate(const std::string& in, bool& ok) {
  z_stream z{};
  ok = inflateInit2(&z, -15) == Z_OK;
  std::string out;
  char buffer[16384];
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  int result = Z_OK;
  while (ok && result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
    if (result == Z_BUF_ERROR && z.avail_out != 0) break;
  }
  ok = ok && result == Z_STREAM_END;
  inflateEnd(&z);
  return out;
}

struct Decoded {
  bool opened = false;  // the password passed the header check
  bool proven = false;  // sizes, CRC-32 (where the scheme compares it) and code all hold
  bool verified = false;
  std::string output;
  TItemScheme scheme = TItemScheme::None;
};

// Decodes item `index` with its decryptor, trying each password in turn on the same one.
inline Decoded DecodeItem(const std::string& archive, int32_t index, std::initializer_list<std::string> passwords) {
  const LocatedItem at = Locate(archive, index);
  Decoded result;
  auto stage = IQPItemDecryptor::Create(ItemCryptoInfoOf(at.item, at.local));
  if (!stage) return result;
  result.scheme = stage->Scheme();
  const auto payload = stage->PayloadSize(at.item.CompressedSize());
  if (!payload) return result;
  const auto* bytes = reinterpret_cast<const uint8_t*>(archive.data()) + at.dataOffset;
  for (const std::string& password : passwords)
    if ((result.opened = stage->CheckPassword({bytes, stage->HeaderSize()}, password))) break;
  if (!result.opened) return result;

  std::string data(archive, at.dataOffset + stage->HeaderSize(), static_cast<size_t>(*payload));
  // Uneven blocks: the key stream has to carry over between calls.
  for (size_t at = 0, step = 1; at < data.size(); at += step, step = step * 7 + 24) {
    const size_t n = std::min(step, data.size() - at);
    stage->DecryptInPlace({reinterpret_cast<uint8_t*>(data.data()) + at, n});
  }
  bool inflated = true;
  result.output = at.item.ActualMethod == kMethodDeflate ? RawInflate(data, inflated) : data;
  result.verified = stage->Verify({bytes + stage->HeaderSize() + *payload, stage->TrailerSize()});
  const bool crcHolds = !stage->ComparesCrc() || TestCrc32(result.output) == at.item.CentralDirItem.Crc32;
  result.proven = inflated && result.verified && crcHolds && result.output.size() == at.item.UncompressedSize();
  return result;
}

}  // namespace crypt_test

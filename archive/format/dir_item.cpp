// The in-force sizes and offsets of an item and the ZIP64 extra field.
#include "archive/format/dir_item.h"

#include "archive/format/little_endian.h"

uint64_t TDirItem::UncompressedSize() const {
  if (CentralDirItem.UncompressedSize == kMarker32 && HasZip64Values)
    return Zip64Values.UncompressedSize;
  return CentralDirItem.UncompressedSize;
}

uint64_t TDirItem::CompressedSize() const {
  if (CentralDirItem.CompressedSize == kMarker32 && HasZip64Values)
    return Zip64Values.CompressedSize;
  return CentralDirItem.CompressedSize;
}

uint64_t TDirItem::LocalHeaderOffset() const {
  if (CentralDirItem.LocalHeaderOffset == kMarker32 && HasZip64Values)
    return Zip64Values.LocalHeaderOffset;
  return CentralDirItem.LocalHeaderOffset;
}

uint32_t TDirItem::DiskNumberStart() const {
  if (CentralDirItem.DiskNumberStart == kMarker16 && HasZip64Values)
    return Zip64Values.DiskNumberStart;
  return CentralDirItem.DiskNumberStart;
}

void ReadZip64Values(TDirItem& item, const uint8_t* data, size_t size) {
  size_t pos = 0;
  auto take64 = [&](uint64_t& out) {
    if (pos + 8 <= size) out = GetLE<uint64_t>(data + pos);
    pos += 8;
  };
  const TCentralDirHeader& h = item.CentralDirItem;
  // A part the data is too short for keeps the marker, so it never reads as a small value.
  item.Zip64Values = {h.UncompressedSize, h.CompressedSize, h.LocalHeaderOffset, h.DiskNumberStart};
  if (h.UncompressedSize == kMarker32) take64(item.Zip64Values.UncompressedSize);
  if (h.CompressedSize == kMarker32) take64(item.Zip64Values.CompressedSize);
  if (h.LocalHeaderOffset == kMarker32) take64(item.Zip64Values.LocalHeaderOffset);
  if (h.DiskNumberStart == kMarker16 && pos + 4 <= size)
    item.Zip64Values.DiskNumberStart = GetLE<uint32_t>(data + pos);
  item.HasZip64Values = true;
}

// Reading the central directory, locating the archive behind a prefix, correcting relative
// offsets, and rebuilding the directory from local headers.
#include "archive/directory/dir_manager.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "archive/base/exception.h"
#include "archive/format/little_endian.h"
#include "archive/format/names.h"
#include "archive/crypt/aes_extra_field.h"
#include "archive/directory/item_ranges.h"
#include "archive/directory/program_image.h"

namespace {

constexpr size_t kEndRecordWindow = 65600;
constexpr size_t kStartSearchChunk = 10000;
constexpr size_t kRebuildChunk = 65535;
constexpr uint32_t kMaxRebuiltNameLength = 260;

std::string ReadBytes(TQPStream& stream, size_t count) {
  std::string bytes(count, '\0');
  if (count > 0) stream.ReadBuffer(bytes.data(), count);
  return bytes;
}

}  // namespace

TQPDirManager::TQPDirManager(TQPDirManagerOwner* owner) : OwnerComponent(owner) {}

class TQPDirManager::TStreamLoan {
 public:
  TStreamLoan(TQPDirManager& manager, TQPStream& stream) : manager_(manager) { manager_.ArchiveStream = &stream; }
  ~TStreamLoan() { manager_.ArchiveStream = nullptr; }
  TStreamLoan(const TStreamLoan&) = delete;
  TStreamLoan& operator=(const TStreamLoan&) = delete;

 private:
  TQPDirManager& manager_;
};

bool TQPDirManager::FindEndRecord(TQPStream& stream, uint32_t signature, int64_t& position) {
  const TStreamLoan loan(*this, stream);
  return FindEndRecordHere(signature, position);
}

bool TQPDirManager::FindEndRecordHere(uint32_t signature, int64_t& position) {
  StoredComment.clear();
  EndRecord = TEndOfCentralDir{};
  position = -1;
  // Behind a program, only what follows its image counts, and a certificate table added
  // at the end when the program was signed is not part of the archive.
  const TQPArchiveSpan span = QPArchiveSpan(*ArchiveStream);
  const int64_t size = span.End;
  const size_t windowSize = static_cast<size_t>(std::min<int64_t>(size - span.Begin, kEndRecordWindow));
  if (windowSize < 4) return false;
  const int64_t windowStart = size - static_cast<int64_t>(windowSize);
  std::vector<uint8_t> window(windowSize);
  ArchiveStream->SetPosition(windowStart);
  ArchiveStream->ReadBuffer(window.data(), windowSize);

  uint8_t sig[4];
  PutLE<uint32_t>(sig, signature);
  for (size_t last = windowSize - 1; last >= 3; --last) {
    if (window[last] != sig[3] || window[last - 1] != sig[2] || window[last - 2] != sig[1] ||
        window[last - 3] != sig[0])
      continue;
    const size_t at = last - 3;
    const int64_t p = windowStart + static_cast<int64_t>(at);
    if (windowSize - at < TEndOfCentralDir::kSize) continue;
    TEndOfCentralDir record;
    record.Parse(std::span(window).subspan(at).first<TEndOfCentralDir::kSize>());
    const uint64_t recordEnd = static_cast<uint64_t>(p) + TEndOfCentralDir::kSize;
    if (record.StartDisk > record.DiskNumber) continue;
    if (record.EntriesOnDisk > record.TotalEntries) continue;
    // Only a directory that starts on this disk has to fit in front of the record; in a
    // multi-volume set it may begin on an earlier volume and be larger than this one.
    if (record.StartDisk == record.DiskNumber && record.DirectorySize != kMarker32 &&
        record.DirectorySize >= recordEnd)
      continue;
    if (record.StartDisk == record.DiskNumber && record.DirectoryOffset != kMarker32 &&
        record.DirectoryOffset >= recordEnd - record.DirectorySize)
      continue;
    if (record.CommentLength > windowSize - at - TEndOfCentralDir::kSize) continue;
    EndRecord = record;
    StoredComment.assign(reinterpret_cast<const char*>(window.data() + at + TEndOfCentralDir::kSize),
                         record.CommentLength);
    position = p;
    return true;
  }
  return false;
}

bool TQPDirManager::HasEndRecord(TQPStream& stream, bool tolerant) {
  int64_t position;
  const bool found = FindEndRecord(stream, kEndRecordSignature, position);
  return tolerant || found;
}

bool TQPDirManager::ReadZip64Locator(TQPStream& stream, int64_t endPosition, TZip64Locator& locator) {
  if (endPosition < static_cast<int64_t>(TZip64Locator::kSize)) return false;
  uint8_t raw[TZip64Locator::kSize];
  stream.SetPosition(endPosition - static_cast<int64_t>(TZip64Locator::kSize));
  stream.ReadBuffer(raw, sizeof raw);
  locator.Parse(raw);
  return locator.Signature == kZip64LocatorSignature;
}

void TQPDirManager::ReadDirectory(TQPStream& stream) {
  const TStreamLoan loan(*this, stream);
  // Whatever the bytes hold, opening ends in a directory or an EQPException: a read that
  // fails outside the guarded entry loop (an unreadable file, a rebuild cut short) is
  // reported as an invalid archive.
  DirectoryState = dsStored;
  try {
    ReadDirectoryOrRebuild();
  } catch (const EStreamError&) {
    Directory.Clear();
    throw EQPException(neInvalidArchive, nullptr);
  } catch (const std::bad_alloc&) {
    Directory.Clear();
    throw EQPException(neInvalidArchive, nullptr);
  }
}

void TQPDirManager::ReadDirectoryOrRebuild() {
  Directory.SetCount(0);
  EndRecord = TEndOfCentralDir{};
  PrefixLength = 0;
  IsZip64 = false;
  DirectoryDisk = 0;
  scanBlockAt_ = -1;

  int64_t endPosition;
  if (!FindEndRecordHere(kEndRecordSignature, endPosition)) {
    RebuildFromLocalHeaders(false);
    return;
  }
  const int64_t directoryEnd = ReadZip64Records(endPosition);
  if ((!IsZip64 && EndRecord.TotalEntries == kMarker16) || !ReadStoredDirectory(directoryEnd))
    RebuildFromLocalHeaders(true);
}

int64_t TQPDirManager::ReadZip64Records(int64_t endPosition) {
  // ZIP64: a locator right before the end record points at the ZIP64 end record.
  int64_t working = endPosition;
  if (endPosition > static_cast<int64_t>(TZip64Locator::kSize) &&
      ReadZip64Locator(*ArchiveStream, endPosition, Zip64Locator)) {
    IsZip64 = true;
    working = endPosition - static_cast<int64_t>(TZip64Locator::kSize);
  }
  if (!IsZip64) return working;
  constexpr int64_t kRecord = static_cast<int64_t>(TZip64EndOfCentralDir::kSize);
  if (working <= kRecord) throw EQPException(neNoZip64EndRecord, nullptr);
  // The stored offset counts from the start of the archive; behind a prefix with relative
  // offsets it misses, and the record is then looked for where writers put it: directly
  // before the locator.
  auto readRecordAt = [&](uint64_t offset) {
    if (offset + kRecord > static_cast<uint64_t>(ArchiveStream->Size())) return false;
    uint8_t raw[TZip64EndOfCentralDir::kSize];
    ArchiveStream->SetPosition(static_cast<int64_t>(offset));
    ArchiveStream->ReadBuffer(raw, sizeof raw);
    Zip64EndRecord.Parse(raw);
    return Zip64EndRecord.Signature == kZip64EndRecordSignature;
  };
  if (!readRecordAt(Zip64Locator.EndRecordOffset) && !readRecordAt(static_cast<uint64_t>(working - kRecord)))
    throw EQPException(neNoZip64EndRecord, nullptr);
  return working - kRecord;
}

bool TQPDirManager::ReadStoredDirectory(int64_t working) {
  const uint32_t startDisk = EndRecord.StartDisk != kMarker16 ? EndRecord.StartDisk
                             : IsZip64                        ? Zip64EndRecord.StartDisk
                                                              : 0;
  uint32_t lastDisk = 0;
  if (EndRecord.DiskNumber != kMarker16)
    lastDisk = EndRecord.DiskNumber;
  else if (IsZip64 && Zip64Locator.TotalDisks > 0)
    lastDisk = Zip64Locator.TotalDisks - 1;

  const bool multiVolume = OwnerComponent->GetSpanningMode() != smNone;
  TQPVolumeNumberInfo volume;
  volume.LastNumber = static_cast<int32_t>(lastDisk);
  volume.SetNumber(static_cast<int32_t>(startDisk));
  if (multiVolume) ArchiveStream = OwnerComponent->SwitchVolume(volume);

  const uint64_t directorySize = IsZip64 ? Zip64EndRecord.DirectorySize : EndRecord.DirectorySize;
  // A ZIP64 count is taken whole: cut to 32 bits it would hide items without a word. A count
  // the directory's size cannot hold (46 bytes an entry at least) is the damage it shows.
  const uint64_t count = IsZip64 ? Zip64EndRecord.TotalEntries : EndRecord.TotalEntries;
  if (count > directorySize / TCentralDirHeader::kSize) return false;
  if (count > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    throw EQPException(neArchiveDamaged, nullptr, TQPEngineCause{u"too many items"});
  int64_t position;
  if (!multiVolume) {
    // The directory ends where the end record (or the ZIP64 end record) begins; its stored
    // offset is never trusted for a single file. A size that cannot fit in front of the end
    // record marks a damaged directory.
    if (directorySize > static_cast<uint64_t>(working)) return false;
    position = working - static_cast<int64_t>(directorySize);
  } else {
    position = static_cast<int64_t>(IsZip64 ? Zip64EndRecord.DirectoryOffset : EndRecord.DirectoryOffset);
  }
  if (!ReadEntriesOrClear(position, count, lastDisk, volume)) return false;
  if (!multiVolume && CentralHeaderFollows(working)) return false;

  if (lastDisk == 0) {
    LocateArchiveStart(static_cast<uint64_t>(working));
    CorrectOffsets();
  }
  // Offsets count per volume in a set; in a single file they are now file positions.
  const bool perDisk = multiVolume || lastDisk != 0;
  QPCheckItemRangesApart(Directory, {DirectoryDisk, DirectoryStart, DirectoryStart + directorySize}, perDisk);
  return true;
}

bool TQPDirManager::ReadEntriesOrClear(int64_t position, uint64_t count, uint32_t lastDisk,
                                       TQPVolumeNumberInfo& volume) {
  try {
    ReadEntries(position, count, lastDisk, volume);
    return true;
  } catch (const EQPException& e) {
    // A failed volume request is the user's answer, not damage: it ends the open.
    if (e.NativeError == neVolumeRequestCancelled) throw;
  } catch (const EStreamError&) {
  } catch (const std::bad_alloc&) {
  }
  Directory.Clear();
  return false;
}

bool TQPDirManager::CentralHeaderFollows(int64_t directoryEnd) {
  // An end record that counts fewer entries than the directory holds would hide the items
  // behind the last one counted: another central header follows it.
  if (ArchiveStream->Position() + 4 > directoryEnd) return false;
  uint8_t next[4];
  ArchiveStream->ReadBuffer(next, sizeof next);
  return GetLE<uint32_t>(next) == kCentralHeaderSignature;
}

void TQPDirManager::ReadEntries(int64_t position, uint64_t count, uint32_t lastDisk,
                                TQPVolumeNumberInfo& volume) {
  const bool multiVolume = OwnerComponent->GetSpanningMode() != smNone;
  const bool oemNames = OwnerComponent->GetOEMFileNames();
  ArchiveStream->SetPosition(position);
  DirectoryStart = static_cast<uint64_t>(position);
  // Items are added as they are read, so memory follows the bytes that are really there
  // rather than a stored count.
  for (uint64_t i = 0; i < count; ++i) {
    if (multiVolume && ArchiveStream->Size() - ArchiveStream->Position() <
                           static_cast<int64_t>(TCentralDirHeader::kSize)) {
      if (volume.Number >= static_cast<int32_t>(lastDisk)) throw EStreamError("Directory runs past the last volume");
      volume.SetNumber(volume.Number + 1);
      ArchiveStream = OwnerComponent->SwitchVolume(volume);
      ArchiveStream->SetPosition(0);
    }
    if (i == 0) {
      DirectoryStart = static_cast<uint64_t>(ArchiveStream->Position());
      DirectoryDisk = multiVolume ? static_cast<uint32_t>(volume.Number) : lastDisk;
    }
    const int32_t index = static_cast<int32_t>(i);
    Directory.SetCount(index + 1);
    TDirItem& item = Directory.ItemRef(index);
    uint8_t raw[TCentralDirHeader::kSize];
    ArchiveStream->ReadBuffer(raw, sizeof raw);
    item.CentralDirItem.Parse(raw);
    const TCentralDirHeader& h = item.CentralDirItem;
    // Across volumes a header without its signature means a volume of another set: reading
    // on would turn its bytes into items.
    if (multiVolume && h.Signature != kCentralHeaderSignature) throw EStreamError("Volume is not part of the set");
    if ((h.Flags & kFlagEncrypted) && h.VersionNeeded < kStrongEncryptionVersion) item.CryptoAlgorithm = 0;
    item.ActualMethod = h.Method;
    const std::string storedName = ReadBytes(*ArchiveStream, h.NameLength);
    Directory.SetEntryName(index, DecodeCentralName(storedName, h.Flags, oemNames, h.VersionMadeBy));
    if (h.ExtraLength != 0) ReadExtraFields(item, index, h.ExtraLength, storedName);
    item.ItemComment = ReadBytes(*ArchiveStream, h.CommentLength);
  }
}

void TQPDirManager::ReadExtraFields(TDirItem& item, int32_t index, uint16_t length,
                                    std::string_view storedName) {
  item.HasZip64Values = false;
  // The Unicode name field has the last word over the path field, wherever each one stands.
  bool unicodeNameSet = false;
  std::u16string pathName;
  bool pathNameSet = false;
  uint32_t consumed = 0;
  while (consumed + 4 <= length) {
    uint8_t head[4];
    ArchiveStream->ReadBuffer(head, 4);
    consumed += 4;
    TExtraBlock& block = item.ExtraBlocks.emplace_back();
    block.HeaderId = GetLE<uint16_t>(head);
    // A size that runs past the extra area is cut to the bytes that remain.
    block.DataSize = static_cast<uint16_t>(std::min<uint32_t>(GetLE<uint16_t>(head + 2), length - consumed));
    block.Data.resize(block.DataSize);
    if (block.DataSize > 0) ArchiveStream->ReadBuffer(block.Data.data(), block.DataSize);
    consumed += block.DataSize;
    const uint8_t* data = block.Data.data();
    const size_t size = block.DataSize;
    switch (block.HeaderId) {
      case kZip64ExtraId:
        ReadZip64Values(item, data, size);
        break;
      case kUnicodeNameExtraId: {
        TUnicodeExtendedInfo info;
        if (info.Parse(data, size)) {
          Directory.SetEntryName(index, info.Name);
          unicodeNameSet = true;
        }
        break;
      }
      case kUnicodePathExtraId:
        if (!pathNameSet) pathNameSet = ParseUnicodePathField(data, size, storedName, pathName);
        break;
      case kAesExtraId:
        ApplyAesExtraField(item, data, size);
        break;
      default:
        break;
    }
  }
  if (pathNameSet && !unicodeNameSet) Directory.SetEntryName(index, pathName);
  // Fewer than four bytes left over cannot hold a field; skip them.
  if (consumed < length) ArchiveStream->Seek(length - consumed, qp::platform::SeekOrigin::Current);
}

void TQPDirManager::LocateArchiveStart(uint64_t endPosition) {
  if (EndRecord.TotalEntries == 0 || Directory.Count() == 0) {
    PrefixLength = endPosition;
    return;
  }
  const TDirItem& first = Directory.ItemRef(0);
  const TCentralDirHeader& c = first.CentralDirItem;
  const int64_t size = ArchiveStream->Size();
  int64_t from = static_cast<int64_t>(std::min<uint64_t>(first.LocalHeaderOffset(), static_cast<uint64_t>(size)));
  for (;;) {
    const int64_t hit = FindSignature(kLocalHeaderSignature, from, kStartSearchChunk);
    if (hit < 0) return;
    if (size - hit >= static_cast<int64_t>(TLocalFileHeader::kSize)) {
      uint8_t raw[TLocalFileHeader::kSize];
      ArchiveStream->SetPosition(hit);
      ArchiveStream->ReadBuffer(raw, sizeof raw);
      TLocalFileHeader local;
      local.Parse(raw);
      // The whole name must be there too; its bytes are not compared.
      const bool nameFits = size - hit - static_cast<int64_t>(TLocalFileHeader::kSize) >= local.NameLength;
      const bool matches = hit == 0 ||
                           (local.VersionNeeded == c.VersionNeeded && local.Method == c.Method &&
                            local.Time == c.Time && local.Date == c.Date && local.Crc32 == c.Crc32 &&
                            local.CompressedSize == c.CompressedSize &&
                            local.UncompressedSize == c.UncompressedSize);
      if (nameFits && matches) {
        PrefixLength = static_cast<uint64_t>(hit);
        return;
      }
    }
    from = hit + 1;
  }
}

void TQPDirManager::CorrectOffsets() {
  int32_t decider = -1;
  for (int32_t i = 0; i < Directory.Count(); ++i) {
    if (Directory.ItemRef(i).CompressedSize() != 0) {
      decider = i;
      break;
    }
  }
  if (decider < 0 || Directory.ItemRef(decider).LocalHeaderOffset() >= PrefixLength) return;
  for (int32_t i = 0; i < Directory.Count(); ++i) {
    TDirItem& item = Directory.ItemRef(i);
    if (item.IsFolder()) continue;
    TCentralDirHeader& h = item.CentralDirItem;
    // The corrected offset goes where it fits: a ZIP64 value stays a ZIP64 value, and a 32-bit
    // offset that would overflow moves into one, instead of wrapping round.
    if (h.LocalHeaderOffset == kMarker32 && item.HasZip64Values) {
      item.Zip64Values.LocalHeaderOffset += PrefixLength;
      continue;
    }
    const uint64_t corrected = static_cast<uint64_t>(h.LocalHeaderOffset) + PrefixLength;
    if (corrected < kMarker32) {
      h.LocalHeaderOffset = static_cast<uint32_t>(corrected);
    } else {
      if (!item.HasZip64Values) {
        item.Zip64Values = {h.UncompressedSize, h.CompressedSize, 0, h.DiskNumberStart};
        if (h.UncompressedSize == kMarker32 || h.CompressedSize == kMarker32 || h.DiskNumberStart == kMarker16)
          continue;  // markers without their values: leave such an item alone
        item.HasZip64Values = true;
      }
      item.Zip64Values.LocalHeaderOffset = corrected;
      h.LocalHeaderOffset = kMarker32;
    }
  }
}

int64_t TQPDirManager::FindSignature(uint32_t signature, int64_t from, size_t chunk) {
  const int64_t size = ArchiveStream->Size();
  uint8_t sig[4];
  PutLE<uint32_t>(sig, signature);
  int64_t start = from;
  while (start + 4 <= size) {
    const bool cached = scanBlockStream_ == ArchiveStream && scanBlockAt_ >= 0 && start >= scanBlockAt_ &&
                        start + 4 <= scanBlockAt_ + static_cast<int64_t>(scanBlock_.size());
    if (!cached) {
      const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk), size - start));
      scanBlockAt_ = -1;
      scanBlock_.resize(want);
      ArchiveStream->SetPosition(start);
      ArchiveStream->ReadBuffer(scanBlock_.data(), want);
      scanBlockAt_ = start;
      scanBlockStream_ = ArchiveStream;
    }
    const uint8_t* base = scanBlock_.data();
    const uint8_t* end = base + scanBlock_.size();
    for (const uint8_t* p = base + (start - scanBlockAt_); p + 4 <= end; ++p) {
      p = static_cast<const uint8_t*>(std::memchr(p, sig[0], static_cast<size_t>(end - p)));
      if (p == nullptr || p + 4 > end) break;
      if (p[1] == sig[1] && p[2] == sig[2] && p[3] == sig[3]) return scanBlockAt_ + (p - base);
    }
    const int64_t blockEnd = scanBlockAt_ + static_cast<int64_t>(scanBlock_.size());
    if (blockEnd >= size) break;
    // The next read starts 3 bytes early so that a signature across the seam is found.
    start = blockEnd - 3;
  }
  return -1;
}

bool TQPDirManager::ReadFromScanBlock(int64_t at, void* out, size_t count) const {
  if (scanBlockStream_ != ArchiveStream || scanBlockAt_ < 0 || at < scanBlockAt_ ||
      at - scanBlockAt_ + static_cast<int64_t>(count) > static_cast<int64_t>(scanBlock_.size()))
    return false;
  std::memcpy(out, scanBlock_.data() + (at - scanBlockAt_), count);
  return true;
}

void TQPDirManager::RebuildFromLocalHeaders(bool endRecordFound) {
  DirectoryState = endRecordFound ? dsRebuiltDamaged : dsRebuiltCutOff;
  Directory.Clear();
  if (OwnerComponent->GetSpanningMode() != smNone) throw EQPException(neForeignVolume, nullptr);
  const int64_t size = ArchiveStream->Size();
  const bool applyOem = endRecordFound && OwnerComponent->GetOEMFileNames();

  descriptorSearchedFrom_ = descriptorFound_ = -1;
  // A program's image holds the signatures as constants in its code: they are no headers.
  const TQPArchiveSpan span = QPArchiveSpan(*ArchiveStream);
  bool anyHit = false;
  int64_t from = span.Begin;
  for (;;) {
    const int64_t q = FindSignature(kLocalHeaderSignature, from, kRebuildChunk);
    if (q < 0 || span.End - q < static_cast<int64_t>(TLocalFileHeader::kSize)) break;
    anyHit = true;
    from = q + 4;
    uint8_t raw[TLocalFileHeader::kSize];
    if (!ReadFromScanBlock(q, raw, sizeof raw)) {
      ArchiveStream->SetPosition(q);
      ArchiveStream->ReadBuffer(raw, sizeof raw);
    }
    TLocalFileHeader local;
    local.Parse(raw);
    if (static_cast<int64_t>(local.CompressedSize) >= size || local.NameLength > kMaxRebuiltNameLength) continue;
    // A header without a name, data or descriptor holds nothing to extract or test; a file of
    // millions of them must not become millions of items.
    if (local.NameLength == 0 && local.CompressedSize == 0 && !(local.Flags & kFlagDataDescriptor)) {
      from = q + static_cast<int64_t>(TLocalFileHeader::kSize) + local.ExtraLength;
      continue;
    }

    const int32_t index = Directory.Count();
    Directory.SetCount(index + 1);
    TDirItem& item = Directory.ItemRef(index);
    TakeLocalHeader(item, local, q);
    const int64_t afterHeader = q + static_cast<int64_t>(TLocalFileHeader::kSize);
    ReadRebuiltNameAndExtras(item, index, local, afterHeader, size, applyOem);
    if (local.Flags & kFlagDataDescriptor) {
      TakeDataDescriptor(item, NextDescriptor(q), size);
    } else {
      // Signatures inside an item's data (a stored archive, say) are that item's bytes, not
      // items of their own: the search goes on behind the data.
      const int64_t dataEnd = afterHeader + local.NameLength + local.ExtraLength +
                              static_cast<int64_t>(std::min<uint64_t>(item.CompressedSize(), static_cast<uint64_t>(size)));
      if (dataEnd <= size) from = std::max(from, dataEnd);
    }
  }
  if (!anyHit) throw EQPException(neInvalidArchive, nullptr);
  DirectoryStart = static_cast<uint64_t>(size);
  // Sizes found in data descriptors may still make items share bytes.
  QPCheckItemRangesApart(Directory, {}, false);
}

int64_t TQPDirManager::NextDescriptor(int64_t from) {
  if (descriptorSearchedFrom_ >= 0 && from >= descriptorSearchedFrom_ &&
      (descriptorFound_ < 0 || descriptorFound_ >= from))
    return descriptorFound_;
  descriptorSearchedFrom_ = from;
  descriptorFound_ = FindSignature(kDataDescriptorSignature, from, kRebuildChunk);
  return descriptorFound_;
}

void TQPDirManager::TakeLocalHeader(TDirItem& item, const TLocalFileHeader& local, int64_t at) {
  TCentralDirHeader& h = item.CentralDirItem;
  h.Signature = local.Signature;
  h.VersionMadeBy = h.VersionNeeded = local.VersionNeeded;
  h.Flags = local.Flags;
  h.Method = local.Method;
  h.Time = local.Time;
  h.Date = local.Date;
  h.Crc32 = local.Crc32;
  h.CompressedSize = local.CompressedSize;
  h.UncompressedSize = local.UncompressedSize;
  h.NameLength = local.NameLength;
  h.ExtraLength = local.ExtraLength;
  h.ExternalAttributes = (local.UncompressedSize != 0 || (local.Flags & kFlagDataDescriptor)) ? 0x20 : 0x10;
  h.LocalHeaderOffset = static_cast<uint32_t>(std::min<int64_t>(at, kMarker32));
  item.ActualMethod = local.Method;
  if ((local.Flags & kFlagEncrypted) && local.VersionNeeded < kStrongEncryptionVersion) item.CryptoAlgorithm = 0;
}

void TQPDirManager::ReadRebuiltNameAndExtras(TDirItem& item, int32_t index, const TLocalFileHeader& local,
                                             int64_t afterHeader, int64_t size, bool applyOem) {
  std::u16string name;
  std::string storedName;
  if (size - afterHeader >= local.NameLength) {
    storedName.assign(local.NameLength, '\0');
    if (!ReadFromScanBlock(afterHeader, storedName.data(), storedName.size())) {
      ArchiveStream->SetPosition(afterHeader);
      if (!storedName.empty()) ArchiveStream->ReadBuffer(storedName.data(), storedName.size());
    }
    name = DecodeRebuiltName(storedName, applyOem && !(local.Flags & kFlagUtf8));
  }
  Directory.SetEntryName(index, name);
  if (local.ExtraLength != 0 && size - afterHeader >= local.NameLength) {
    ArchiveStream->SetPosition(afterHeader + local.NameLength);
    // An extra area cut short by the end of the file keeps the part that is there.
    const int64_t room = size - afterHeader - local.NameLength;
    const auto length = static_cast<uint16_t>(std::min<int64_t>(local.ExtraLength, room));
    if (length != 0) ReadExtraFields(item, index, length, storedName);
  }
  if (item.CentralDirItem.LocalHeaderOffset == kMarker32) {
    // A header beyond 4 GiB keeps its whole offset, as a ZIP64 value (after the extra
    // fields, whose local ZIP64 field holds sizes only).
    if (!item.HasZip64Values) ReadZip64Values(item, nullptr, 0);
    item.Zip64Values.LocalHeaderOffset = static_cast<uint64_t>(afterHeader) - TLocalFileHeader::kSize;
  }
}

void TQPDirManager::TakeDataDescriptor(TDirItem& item, int64_t at, int64_t size) {
  if (at < 0 || size - at < static_cast<int64_t>(TDataDescriptor::kSize)) return;
  uint8_t raw[TDataDescriptor::kSize];
  ArchiveStream->SetPosition(at);
  ArchiveStream->ReadBuffer(raw, sizeof raw);
  TDataDescriptor descriptor;
  descriptor.Parse(raw);
  TCentralDirHeader& h = item.CentralDirItem;
  h.Crc32 = descriptor.Crc32;
  h.CompressedSize = descriptor.CompressedSize;
  h.UncompressedSize = descriptor.UncompressedSize;
}

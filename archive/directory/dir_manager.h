// TQPDirManager: opens the item directory of an archive. It finds the end record, reads every
// central directory header into the TQPDirArray, finds where the archive starts behind a
// prefix (a self-extractor's program image), corrects relative offsets, and rebuilds the
// directory from local headers when the end record is missing or the directory is damaged.
// Every failure is an EQPException.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/directory/dir_array.h"
#include "archive/format/records.h"
#include "archive/io/stream.h"
#include "archive/base/types.h"
#include "archive/base/volume_number_info.h"

// What the manager needs of the archive source that owns it.
class TQPDirManagerOwner {
 public:
  virtual ~TQPDirManagerOwner() = default;
  // Stored names without the UTF-8 flag are in the OEM code page.
  virtual bool GetOEMFileNames() const = 0;
  virtual TQPSpanningMode GetSpanningMode() const = 0;
  // Makes the archive stream show the volume `info` names and returns that stream; raises
  // EQPException 45 when the request is cancelled. Never called for a single-file archive.
  // The stream the manager was lent before is gone then: it goes on with the one returned.
  virtual TQPStream* SwitchVolume(const TQPVolumeNumberInfo& info) = 0;
};

// The manager owns the directory it reads (and what the records said); the archive stream
// is its owner's, lent to each of the calls below for their length only.
class TQPDirManager {
 public:
  explicit TQPDirManager(TQPDirManagerOwner* owner);

  // Reads (or rebuilds) the whole directory from `stream`.
  void ReadDirectory(TQPStream& stream);
  // Searches the last 65,600 bytes for a valid record with `signature`; fills EndRecord and
  // StoredComment. Returns the record's position in `position` (-1 when not found).
  [[nodiscard]] bool FindEndRecord(TQPStream& stream, uint32_t signature, int64_t& position);
  // Whether `stream` ends in an end record; always true when `tolerant` (a missing directory
  // is then rebuilt), so only the volume probes, which must know, pass false.
  [[nodiscard]] bool HasEndRecord(TQPStream& stream, bool tolerant);
  // The ZIP64 locator in front of the end record at `endPosition`, when there is one.
  [[nodiscard]] bool ReadZip64Locator(TQPStream& stream, int64_t endPosition, TZip64Locator& locator);

  TQPDirManagerOwner* OwnerComponent;
  TQPDirArray Directory;
  std::string StoredComment;
  TZip64Locator Zip64Locator;
  TZip64EndOfCentralDir Zip64EndRecord;
  TEndOfCentralDir EndRecord;
  uint64_t PrefixLength = 0;
  bool IsZip64 = false;
  uint64_t DirectoryStart = 0;
  // Set by ReadDirectory: dsStored, or why the directory had to be rebuilt.
  TQPDirectoryState DirectoryState = dsStored;
  // The disk the central directory starts on (as counted by the set, 0 for a single file).
  uint32_t DirectoryDisk = 0;

 private:
  // Lends the stream to the manager for one call.
  class TStreamLoan;
  bool FindEndRecordHere(uint32_t signature, int64_t& position);
  void ReadDirectoryOrRebuild();
  // Reads the ZIP64 locator and end record, when there are any, in front of the end record
  // at `endPosition`; returns where the central directory ends.
  int64_t ReadZip64Records(int64_t endPosition);
  // The directory the end records describe, ending at `directoryEnd`; false when it shows
  // damage (it is then to be rebuilt from the local headers).
  [[nodiscard]] bool ReadStoredDirectory(int64_t directoryEnd);
  // ReadEntries, with damage (not a cancelled volume request) reported as false.
  [[nodiscard]] bool ReadEntriesOrClear(int64_t position, uint64_t count, uint32_t lastDisk, TQPVolumeNumberInfo& volume);
  // Whether another central header follows the last one the end record counted.
  [[nodiscard]] bool CentralHeaderFollows(int64_t directoryEnd);
  void ReadEntries(int64_t position, uint64_t count, uint32_t lastDisk, TQPVolumeNumberInfo& volume);
  // storedName: the header's name bytes, which a Unicode path field must match by CRC.
  void ReadExtraFields(TDirItem& item, int32_t index, uint16_t length, std::string_view storedName);
  void LocateArchiveStart(uint64_t endPosition);
  void CorrectOffsets();
  void RebuildFromLocalHeaders(bool endRecordFound);
  // The rebuild's steps for one local header at `at` in a file of `size` bytes: the item
  // record from its fields, its name and extra fields behind it, and the sizes of its data
  // descriptor (at `at` there, -1 for none found).
  void TakeLocalHeader(TDirItem& item, const TLocalFileHeader& local, int64_t at);
  void ReadRebuiltNameAndExtras(TDirItem& item, int32_t index, const TLocalFileHeader& local, int64_t afterHeader,
                                int64_t size, bool applyOem);
  void TakeDataDescriptor(TDirItem& item, int64_t at, int64_t size);
  // The first data descriptor at or after `from`, or -1. The search runs forward from each
  // header; remembering the last answer keeps a file full of flagged headers from being
  // searched again and again (the rebuild stays linear).
  int64_t NextDescriptor(int64_t from);
  // Position of the first `signature` at or after `from`, or -1; reads `chunk` bytes at a time.
  int64_t FindSignature(uint32_t signature, int64_t from, size_t chunk);
  // Copies `count` bytes at `at` from the block the last search read, when it holds them.
  bool ReadFromScanBlock(int64_t at, void* out, size_t count) const;

  // The lent stream, while a call runs (null between calls); a volume switch replaces it.
  TQPStream* ArchiveStream = nullptr;
  int64_t descriptorSearchedFrom_ = -1;
  int64_t descriptorFound_ = -1;
  // The block the last signature search read: searches and header reads that fall inside it
  // are served from it, so a file dense with signatures is read once, not once per hit.
  std::vector<uint8_t> scanBlock_;
  int64_t scanBlockAt_ = -1;
  const TQPStream* scanBlockStream_ = nullptr;
};

// The archive component: TQPBaseArchiver holds the state and behaviour (properties, events
// and their dispatchers, opening and closing, volumes, search and extraction); TQuillpack is
// the published component the application places on its window.
//
// Where the code lives: archiver.cpp (construction, properties, open/close), dispatchers.cpp
// (the DoOn... defaults), volumes.cpp (volume names, switching, spanning detection),
// search.cpp and mask_match.cpp (FindFirst/FindNext, masks), process_files.cpp and
// extract_item.cpp (the per-item loop, writing one item), decode_item.cpp (the component's
// side of decoding an item's data into a stream), and the component-free item decoder in
// extract/item_decoder.h.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/extract/archive_item.h"
#include "archive/component/component_base.h"
#include "archive/directory/dir_manager.h"
#include "archive/component/events.h"
#include "archive/component/options.h"
#include "archive/io/stream.h"
#include "archive/component/types.h"
#include "archive/component/volume_number_info.h"

struct TQPExtractRun;
struct TQPDecodeResult;
class IQPItemDecryptor;

using TQPStringList = std::vector<std::u16string>;

// Open modes of OpenArchive(Mode).
constexpr uint16_t kOpenModeCreate = 0xFFFF;
constexpr uint16_t kOpenModeReadWriteExclusive = 0x22;
constexpr uint16_t kOpenModeReadOnlyDenyNone = 0x40;

class TQPBaseArchiver : public TComponent, protected TQPDirManagerOwner {
 public:
  explicit TQPBaseArchiver(TComponent* owner);
  ~TQPBaseArchiver() override;

  // ----- properties -----
  bool ExtractCorruptedFiles = false;
  TQPCompressionLevel GetCompressionLevel() const { return compressionLevel_; }
  void SetCompressionLevel(TQPCompressionLevel level);
  uint8_t GetCompressionMode() const { return compressionMode_; }
  // Raises native error 5 above 9.
  void SetCompressionMode(uint8_t mode);
  uint16_t GetCompressionMethod() const { return compressionMethod_; }
  // "6.94 ": writing it is ignored.
  std::u16string GetCurrentVersion() const;
  void SetCurrentVersion(const std::u16string&) {}
  const std::string& GetPassword() const { return password_; }
  virtual void SetPassword(const std::string& password);
  std::u16string FileName;
  std::u16string BaseDir;
  std::u16string TempDir;
  TQPSpanningMode GetSpanningMode() const override { return spanningMode_; }
  // Raises a plain Exception("Cannot set spanning mode on open archive") while open.
  void SetSpanningMode(TQPSpanningMode mode);
  TQPSpanningOptions& SpanningOptions() { return *spanningOptions_; }
  void SetSpanningOptions(const TQPSpanningOptions& options) { spanningOptions_->Assign(options); }
  std::u16string SFXStub;
  TQPOptions& Options() { return *options_; }
  const TQPOptions& Options() const { return *options_; }
  void SetOptions(const TQPOptions& options) { options_->Assign(options); }
  TQPStringList FileMasks;
  TQPStringList ExclusionMasks;
  TQPStringList NoCompressionMasks;
  bool GetInMemory() const { return inMemory_; }
  void SetInMemory(bool value);
  TZip64Mode Zip64Mode = zmAuto;
  bool UnicodeFilenames = false;
  TQPCryptoAlgorithm EncryptionMethod = caPkzipClassic;

  // ----- events -----
  TQPFileProgressEvent OnFileProgress;
  TQPProgressEvent OnOverallProgress;
  TQPCopyTempFileProgressEvent OnCopyTempFileProgress;
  TQPConfirmOverwriteEvent OnConfirmOverwrite;
  TQPConfirmProcessFileEvent OnConfirmProcessFile;
  TNotifyEvent AfterOpen;
  TQPOnPasswordEvent OnPassword;
  TQPProcessFileFailureEvent OnProcessFileFailure;
  TQPOnRequestFirstVolumeEvent OnRequestFirstVolume;
  TQPOnRequestLastVolumeEvent OnRequestLastVolume;
  TQPOnRequestMiddleVolumeEvent OnRequestMiddleVolume;
  TQPOnRequestBlankVolumeEvent OnRequestBlankVolume;
  TQPOnDiskFullEvent OnDiskFull;
  TQPOnStoreFileEvent OnStoreFile;
  TQPOnExtractFileEvent OnExtractFile;

  // ----- lifecycle -----
  // Chooses the mode (create, 0x22 or 0x40) and opens.
  void OpenArchive();
  void OpenArchive(uint16_t mode);
  // Never raises; also releases what a failed open left behind.
  void CloseArchive() noexcept;
  bool IsOpen() const { return open_; }
  uint16_t OpenMode() const { return openMode_; }

  // ----- the open archive -----
  TQPDirManager* DirManager() { return dirManager_.get(); }
  int32_t ItemCount() const { return dirManager_ ? dirManager_->Directory.Count() : 0; }
  TQPStream* ArchiveStream() { return stream_.get(); }
  // Read-only: whether the open archive's directory was read as stored or rebuilt from the
  // local headers (cut off or damaged); dsStored while no archive is open. Opening accepts
  // all three; a caller that needs every item checks this after OpenArchive.
  TQPDirectoryState GetDirectoryState() const {
    return dirManager_ ? dirManager_->DirectoryState : dsStored;
  }

  // ----- volumes -----
  // The file name of volume `index` (-1: the last volume) built from FileName.
  std::u16string VolumeFileName(const std::u16string& name, int32_t index, bool checkExists);
  // Makes the archive stream show the volume `info` names; native error 45 when cancelled.
  // A switch to another file replaces the archive stream: the previous stream object is
  // destroyed, so callers continue with the returned pointer only.
  TQPStream* SwitchVolume(const TQPVolumeNumberInfo& info) override;
  void DetectSpanning(bool endRecordFound, int32_t diskNumber);
  const TQPVolumeNumberInfo& VolumeInfo() const { return volumeInfo_; }
  const std::u16string& CurrentVolumeFileName() const { return currentVolumeFileName_; }

  // ----- search and extraction -----
  // Native error 13 when no archive is open.
  void ExtractFiles(const std::u16string& FileMask, int32_t SearchAttr, const std::u16string& ExclusionMask);
  // Selects as ExtractFiles does and decodes every selected item without writing it: size and
  // CRC-32 (or the decryption's own check) are verified, and a failing item goes through
  // OnProcessFileFailure with poTest as the operation, like a failing extraction.
  void TestFiles(const std::u16string& FileMask, int32_t SearchAttr, const std::u16string& ExclusionMask);
  bool FindFirst(const std::u16string& FileMask, TQPArchiveItem& Item, int32_t SearchAttr,
                 const std::u16string& ExclusionMask);
  bool FindNext(TQPArchiveItem& Item);
  // Decodes item `ItemIndex` into `Destination`; raises EQPException on failure.
  void ExtractItemToStream(int32_t ItemIndex, TQPStream& Destination);

  // ----- dispatchers: the handler when assigned, else the default -----
  virtual void DoOnOverallProgress(double Progress, TQPProcessOperation Operation, TQPProgressPhase Phase,
                                   bool& Cancel);
  virtual void DoOnFileProgress(const std::u16string& FileName, double Progress, TQPProcessOperation Operation,
                                TQPProgressPhase Phase, bool& Cancel);
  virtual void DoOnCopyTempFileProgress(double Progress, TQPProgressPhase Phase, bool& Cancel);
  virtual void DoOnConfirmOverwrite(const std::u16string& SourceFileName, std::u16string& DestFileName,
                                    bool& Confirm);
  virtual void DoOnConfirmProcessFile(const std::u16string& FileName, TQPProcessOperation Operation,
                                      bool& Confirm);
  virtual void DoOnPassword(const std::u16string& FileName, std::string& NewPassword, bool& SkipFile);
  virtual void DoOnProcessFileFailure(const std::u16string& FileName, TQPProcessOperation Operation,
                                      int32_t NativeError, int32_t ErrorCode, const std::u16string& ErrorMessage,
                                      TQPAction& Action);
  virtual void DoOnRequestBlankVolume(int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel);
  virtual void DoOnRequestFirstVolume(std::u16string& VolumeFileName, bool& Cancel);
  virtual void DoOnRequestLastVolume(std::u16string& VolumeFileName, bool& Cancel);
  virtual void DoOnRequestMiddleVolume(int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel);
  virtual void DoOnDiskFull(int32_t VolumeNumber, const std::u16string& VolumeFileName, bool& Cancel);
  virtual void DoOnStoreFile(std::u16string& FileName, int32_t& FileAttr, std::string& Comment,
                             const std::u16string& OriginalFileName);
  virtual void DoOnExtractFile(std::u16string& FileName, uint32_t& FileAttr, const std::string& Comment);

 protected:
  virtual void UpdateCompressionMethod();
  void DoAfterOpen();

  // What the directory manager asks of its owner.
  bool GetOEMFileNames() const override { return options_->OEMFileNames; }
  bool GetTolerantOpen() const override { return tolerantOpen_; }

  // ----- per-item loop (process_files.cpp, extract_item.cpp) -----
  void ProcessFiles(TQPProcessOperation Operation, int32_t ItemIndex);
  void ExtractOneItem(TQPExtractRun& run, int32_t index, std::u16string name, const std::u16string& base);
  void TestOneItem(TQPExtractRun& run, int32_t index);
  // Tags the items that the mask, attributes and exclusion select; returns -1 when any number
  // may be tagged, the index when the one item an exact mask names is, and -2 for none.
  int32_t TagSelectedItems(const std::u16string& FileMask, int32_t SearchAttr, const std::u16string& ExclusionMask);

  // ----- decoding (decode_item.cpp) -----
  // Decodes item `index` into `destination`, with the progress events of `run` when there is
  // one, and raises what a failure calls for. False when nothing is to be kept although
  // nothing failed: the run was cancelled (left in the run) or the item was skipped for want
  // of a password.
  bool DecodeItemInto(int32_t index, TQPStream& destination, TQPExtractRun* run);
  // Makes the volume that holds the item's local header current.
  void SelectVolumeOf(const TDirItem& item);
  TQPDecodeResult DecodeItemData(TQPStream& archive, TQPStream& destination, TDirItem& item, TQPExtractRun* run);
  // The password loop (password_loop.cpp): true once a password opens the item's encryption
  // `header`, false when the item is to be skipped. Never raises for a wrong password.
  [[nodiscard]] bool OpenWithPassword(IQPItemDecryptor& decryptor, std::span<const uint8_t> header,
                                      const std::u16string& storedName);

  // ----- state -----
  std::u16string rememberedCurrentDir_;
  bool open_ = false;
  std::u16string currentVolumeFileName_;
  TQPVolumeNumberInfo volumeInfo_;
  uint16_t openMode_ = 0;
  std::unique_ptr<TQPOptions> options_;
  bool inMemory_ = false;
  TQPSpanningMode spanningMode_ = smNone;
  std::unique_ptr<TQPSpanningOptions> spanningOptions_;
  bool tolerantOpen_ = true;
  std::unique_ptr<TQPDirManager> dirManager_;
  uint16_t compressionMethod_ = 8;
  uint8_t compressionMode_ = 1;
  TQPCompressionLevel compressionLevel_ = clFastest;
  std::string password_;
  std::unique_ptr<TQPStream> stream_;

  // ----- internals of opening and volumes (archiver.cpp, volumes.cpp) -----
  // The opening probes: settle SpanningMode, make the volume that ends the archive current
  // and leave a fresh directory manager on it.
  void ProbeVolumes();
  // A new directory manager on the current stream; true when it finds an end record (the
  // disk number of that record in `diskNumber`).
  bool ProbeEndRecord(uint16_t& diskNumber);
  // Opens `path` with the open mode and makes it the archive stream (native error 12 when it
  // does not exist, 33 when it cannot be opened).
  void OpenVolumeStream(const std::u16string& path);
  // The volume record takes the number and kind of `info`, and its last number when known.
  void TakeVolumeNumber(const TQPVolumeNumberInfo& info);
  // The name of volume `index` under the given kind and naming, without existence checks.
  std::u16string BuildVolumeName(const std::u16string& name, int32_t index, TQPSpanningMode mode,
                                 bool advancedNaming) const;
  bool IsSelfExtractor(const std::u16string& name) const;
  // A new archive that never received an item gets its empty directory (an end record), so
  // that the file it leaves behind opens again.
  void FinishNewArchive();

  // ----- internals of search and extraction (search.cpp, mask_match.cpp, process_files.cpp,
  // extract_item.cpp, decode_item.cpp) -----
  // The search step shared by FindFirst and FindNext: from Handle.ItemIndex on.
  bool SearchStep(TQPArchiveItem& Item);
  bool NameTestPasses(const TInternalSearchRec& handle, const std::u16string& storedName) const;
  void FillSearchRecord(int32_t index, TQPArchiveItem& Item);
  // Creates a destination folder, once per run for each folder. Links are followed only in
  // the first `trusted` characters (the destination the person chose): one planted below it
  // would lead the items elsewhere (the call fails, native error 20).
  bool EnsureDirectory(TQPExtractRun& run, const std::u16string& folder, size_t trusted);
};

class TQuillpack : public TQPBaseArchiver {
 public:
  explicit TQuillpack(TComponent* owner);
  void SetPassword(const std::string& password) override;

 protected:
  void UpdateCompressionMethod() override;
};

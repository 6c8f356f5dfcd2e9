// The archive component: TQPBaseArchiver holds the state and behaviour (properties, events
// and their dispatchers, opening and closing, volumes, search and extraction); TQuillpack is
// the published component the application places on its window.
//
// It is the façade: one extraction runs in a TQPExtractRun (extract/extract_run.h), which
// borrows the component through IQPRunHost; decoding an item's data goes through the
// component-free item decoder (extract/item_decoder.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/extract/archive_item.h"
#include "archive/extract/run_host.h"
#include "archive/source/archive_source.h"
#include "archive/base/component_base.h"
#include "archive/component/events.h"
#include "archive/base/options.h"
#include "archive/io/stream.h"
#include "archive/base/types.h"
#include "archive/base/volume_number_info.h"

class TQPExtractRun;
struct TQPDecodeResult;
class IQPItemDecryptor;

using TQPStringList = std::vector<std::u16string>;

class TQPBaseArchiver : public TComponent, protected IQPVolumeHost, protected IQPRunHost {
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
  uint16_t OpenMode() const { return source_->OpenMode(); }

  // ----- the open archive -----
  TQPDirManager* DirManager() { return source_->DirManager(); }
  int32_t ItemCount() const { return source_->DirManager() ? source_->DirManager()->Directory.Count() : 0; }
  TQPStream* ArchiveStream() { return source_->Stream(); }
  // Read-only: whether the open archive's directory was read as stored or rebuilt from the
  // local headers (cut off or damaged); dsStored while no archive is open. Opening accepts
  // all three; a caller that needs every item checks this after OpenArchive.
  TQPDirectoryState GetDirectoryState() const {
    return source_->DirManager() ? source_->DirManager()->DirectoryState : dsStored;
  }

  // ----- volumes -----
  // The file name of volume `index` (-1: the last volume) built from FileName.
  std::u16string VolumeFileName(const std::u16string& name, int32_t index, bool checkExists) {
    return source_->VolumeFileName(name, index, checkExists);
  }
  // Makes the archive stream show the volume `info` names; native error 45 when cancelled.
  // A switch to another file replaces the archive stream: the previous stream object is
  // destroyed, so callers continue with the returned pointer only.
  TQPStream* SwitchVolume(const TQPVolumeNumberInfo& info) { return source_->SwitchVolume(info); }
  void DetectSpanning(bool endRecordFound, int32_t diskNumber) { source_->DetectSpanning(endRecordFound, diskNumber); }
  const TQPVolumeNumberInfo& VolumeInfo() const { return source_->VolumeInfo(); }
  const std::u16string& CurrentVolumeFileName() const { return source_->CurrentVolumeFileName(); }

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
  // While OnProcessFileFailure runs: the system's error code behind the failure (0 when the
  // failure is not the system's), for a handler that shows the cause apart from the message,
  // whose text has no room for it (native errors 19 and 20).
  int FailureSystemError() const { return failureSystemError_; }

  // ----- dispatchers: the handler when assigned, else the default. Those the archive source
  // and a run raise are their hosts' too (IQPVolumeHost, IQPRunHost). -----
  virtual void DoOnOverallProgress(double Progress, TQPProcessOperation Operation, TQPProgressPhase Phase,
                                   bool& Cancel) override;
  virtual void DoOnFileProgress(const std::u16string& FileName, double Progress, TQPProcessOperation Operation,
                                TQPProgressPhase Phase, bool& Cancel) override;
  virtual void DoOnCopyTempFileProgress(double Progress, TQPProgressPhase Phase, bool& Cancel);
  virtual void DoOnConfirmOverwrite(const std::u16string& SourceFileName, std::u16string& DestFileName,
                                    bool& Confirm) override;
  virtual void DoOnConfirmProcessFile(const std::u16string& FileName, TQPProcessOperation Operation,
                                      bool& Confirm) override;
  virtual void DoOnPassword(const std::u16string& FileName, std::string& NewPassword, bool& SkipFile);
  virtual void DoOnProcessFileFailure(const std::u16string& FileName, TQPProcessOperation Operation,
                                      int32_t NativeError, int32_t ErrorCode, const std::u16string& ErrorMessage,
                                      TQPAction& Action) override;
  virtual void DoOnRequestBlankVolume(int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel);
  virtual void DoOnRequestFirstVolume(std::u16string& VolumeFileName, bool& Cancel) override;
  virtual void DoOnRequestLastVolume(std::u16string& VolumeFileName, bool& Cancel) override;
  virtual void DoOnRequestMiddleVolume(int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel) override;
  virtual void DoOnDiskFull(int32_t VolumeNumber, const std::u16string& VolumeFileName, bool& Cancel);
  virtual void DoOnStoreFile(std::u16string& FileName, int32_t& FileAttr, std::string& Comment,
                             const std::u16string& OriginalFileName);
  virtual void DoOnExtractFile(std::u16string& FileName, uint32_t& FileAttr, const std::string& Comment) override;

 protected:
  virtual void UpdateCompressionMethod();
  void DoAfterOpen();

  // What the archive source asks of the component.
  const std::u16string& ArchiveFileName() const override { return FileName; }
  bool HasSfxStub() const override { return !SFXStub.empty(); }
  void SettleSpanningMode(TQPSpanningMode mode) override { spanningMode_ = mode; }
  bool& AdvancedNaming() override { return spanningOptions_->AdvancedNaming; }
  bool GetOEMFileNames() const override { return options_->OEMFileNames; }
  bool HandlesFirstVolumeRequest() const override { return static_cast<bool>(OnRequestFirstVolume); }
  bool HandlesMiddleVolumeRequest() const override { return static_cast<bool>(OnRequestMiddleVolume); }
  const TComponent* SourceComponent() const override { return this; }

  // ----- the per-item loop: a run (extract_run.h) over the tagged items -----
  void ProcessFiles(TQPProcessOperation Operation, int32_t ItemIndex);
  // Tags the items that the mask, attributes and exclusion select; returns -1 when any number
  // may be tagged, the index when the one item an exact mask names is, and -2 for none.
  int32_t TagSelectedItems(const std::u16string& FileMask, int32_t SearchAttr, const std::u16string& ExclusionMask);

  // ----- decoding (decode_item.cpp) -----
  // Decodes item `index` into `destination`, with the progress events of `run` when there is
  // one, and raises what a failure calls for. False when nothing is to be kept although
  // nothing failed: the run was cancelled (left in the run) or the item was skipped for want
  // of a password.
  [[nodiscard]] bool DecodeItemInto(int32_t index, TQPStream& destination, TQPExtractRun* run) override;

  // What a run asks of the component (the dispatchers above are the rest).
  const TComponent* RunComponent() const override { return this; }
  const TQPOptions& RunOptions() const override { return *options_; }
  TQPDirArray& RunDirectory() override { return source_->DirManager()->Directory; }
  std::u16string DestinationBase() override;
  void StartDecodeAhead(TQPDecodeAhead& ahead) override;
  void SetFailureSystemError(int systemError) override { failureSystemError_ = systemError; }
  TQPDecodeResult DecodeItemData(TQPStream& archive, TQPStream& destination, TDirItem& item, TQPExtractRun* run);
  // The password loop (password_loop.cpp): true once a password opens the item's encryption
  // `header`, false when the item is to be skipped. Never raises for a wrong password.
  [[nodiscard]] bool OpenWithPassword(IQPItemDecryptor& decryptor, std::span<const uint8_t> header,
                                      const std::u16string& storedName);

  // ----- state -----
  std::u16string rememberedCurrentDir_;
  bool open_ = false;
  std::unique_ptr<TQPOptions> options_;
  bool inMemory_ = false;
  TQPSpanningMode spanningMode_ = smNone;
  std::unique_ptr<TQPSpanningOptions> spanningOptions_;
  uint16_t compressionMethod_ = 8;
  uint8_t compressionMode_ = 1;
  TQPCompressionLevel compressionLevel_ = clFastest;
  std::string password_;
  // The open archive's volumes, stream and directory: the component's for its lifetime.
  std::unique_ptr<TQPArchiveSource> source_;
  int failureSystemError_ = 0;
  // The last name a progress dispatcher turned into the engine path form, so that the
  // reports of one item convert it once, not once per block.
  std::u16string progressStoredName_;
  std::u16string progressEventName_;

  // ----- internals of opening (archiver.cpp) -----
  // A new archive that never received an item gets its empty directory (an end record), so
  // that the file it leaves behind opens again.
  void FinishNewArchive();

  // ----- internals of search and extraction (search.cpp, mask_match.cpp, process_files.cpp,
  // extract_item.cpp, decode_item.cpp) -----
  // The search step shared by FindFirst and FindNext: from Handle.ItemIndex on.
  [[nodiscard]] bool SearchStep(TQPArchiveItem& Item);
  bool NameTestPasses(const TInternalSearchRec& handle, const std::u16string& storedName) const;
  void FillSearchRecord(int32_t index, TQPArchiveItem& Item);
};

class TQuillpack : public TQPBaseArchiver {
 public:
  explicit TQuillpack(TComponent* owner);
  void SetPassword(const std::string& password) override;

 protected:
  void UpdateCompressionMethod() override;
};

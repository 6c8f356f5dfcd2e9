// TQPArchiveSource: the open archive as bytes. It owns the volumes (which one is current, its
// file name, the open mode), the one archive stream and the directory manager, and it is the
// only holder of the stream: the directory reader and the decoder borrow it for the length of
// a call, and only a volume switch here replaces it. The component owns one source for its
// lifetime, and the source asks the component (IQPVolumeHost) for the archive's name, the
// spanning settings and the volume requests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/base/types.h"
#include "archive/base/volume_number_info.h"
#include "archive/directory/dir_manager.h"
#include "archive/io/stream.h"

class TComponent;
struct TDirItem;

// Open modes of OpenArchive(Mode).
constexpr uint16_t kOpenModeCreate = 0xFFFF;
constexpr uint16_t kOpenModeReadWriteExclusive = 0x22;
constexpr uint16_t kOpenModeReadOnlyDenyNone = 0x40;

// What the source asks of the component that owns it.
class IQPVolumeHost {
 public:
  virtual const std::u16string& ArchiveFileName() const = 0;
  // Whether a program image is named to go in front of the archive.
  virtual bool HasSfxStub() const = 0;
  // The kind of set, which the probes settle when an archive is opened.
  virtual TQPSpanningMode GetSpanningMode() const = 0;
  virtual void SettleSpanningMode(TQPSpanningMode mode) = 0;
  // The volume naming scheme; the probes switch it when the set was written under the other.
  virtual bool& AdvancedNaming() = 0;
  virtual bool GetOEMFileNames() const = 0;
  // Whether a handler answers the first (middle) volume request: without one, the names are
  // checked for existence before the built-in question is asked.
  virtual bool HandlesFirstVolumeRequest() const = 0;
  virtual bool HandlesMiddleVolumeRequest() const = 0;
  virtual void DoOnRequestFirstVolume(std::u16string& VolumeFileName, bool& Cancel) = 0;
  virtual void DoOnRequestLastVolume(std::u16string& VolumeFileName, bool& Cancel) = 0;
  virtual void DoOnRequestMiddleVolume(int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel) = 0;
  // The component named in the exceptions the source raises.
  virtual const TComponent* SourceComponent() const = 0;

 protected:
  ~IQPVolumeHost() = default;
};

class TQPArchiveSource final : private TQPDirManagerOwner {
 public:
  explicit TQPArchiveSource(IQPVolumeHost& host) : host_(host) {}
  TQPArchiveSource(const TQPArchiveSource&) = delete;
  TQPArchiveSource& operator=(const TQPArchiveSource&) = delete;

  // ----- opening and closing -----
  // A new, empty archive: in memory, or in the file (the first volume of a set) `path`.
  void OpenNew(uint16_t mode, const std::u16string* path);
  // An existing archive: the probes settle the kind of set and make the volume that ends it
  // current, then the directory is read (native errors as the reader raises them).
  void OpenExisting(uint16_t mode);
  // Releases the directory and the stream.
  void Close();
  // The stream is taken over from outside (tests wrap it to inject failures).
  std::unique_ptr<TQPStream>& StreamSlot() { return stream_; }

  // ----- what is open -----
  TQPStream* Stream() { return stream_.get(); }
  TQPDirManager* DirManager() { return dirManager_.get(); }
  const TQPDirManager* DirManager() const { return dirManager_.get(); }
  uint16_t OpenMode() const { return openMode_; }
  const TQPVolumeNumberInfo& VolumeInfo() const { return volumeInfo_; }
  const std::u16string& CurrentVolumeFileName() const { return currentVolumeFileName_; }
  // The volume's file name for messages: the current one, else the archive's.
  const std::u16string& ShownVolumeName() const;

  // ----- volumes -----
  // The file name of volume `index` (-1: the last volume) built from `name`.
  std::u16string VolumeFileName(const std::u16string& name, int32_t index, bool checkExists);
  // Makes the archive stream show the volume `info` names; native error 45 when cancelled.
  // A switch to another file replaces the archive stream: the previous stream object is
  // destroyed, so callers continue with the returned pointer only.
  TQPStream* SwitchVolume(const TQPVolumeNumberInfo& info) override;
  void DetectSpanning(bool endRecordFound, int32_t diskNumber);
  // Makes the volume that holds the item's local header current.
  void SelectVolumeOf(const TDirItem& item);
  // Fills `buffer` with `count` bytes from the current position, reading on into the next
  // volumes of a set; false when the archive ends first.
  [[nodiscard]] bool ReadAcrossVolumes(uint8_t* buffer, size_t count);

 private:
  bool GetOEMFileNames() const override { return host_.GetOEMFileNames(); }
  TQPSpanningMode GetSpanningMode() const override { return host_.GetSpanningMode(); }

  // The opening probes: settle the spanning mode, make the volume that ends the archive
  // current and leave a fresh directory manager on it.
  void ProbeVolumes();
  // A new directory manager on the current stream; true when it finds an end record (the
  // disk number of that record in `diskNumber`).
  [[nodiscard]] bool ProbeEndRecord(uint16_t& diskNumber);
  // Opens `path` with the open mode and makes it the archive stream (native error 12 when it
  // does not exist, 33 when it cannot be opened).
  void OpenVolumeStream(const std::u16string& path);
  // The volume record takes the number and kind of `info`, and its last number when known.
  void TakeVolumeNumber(const TQPVolumeNumberInfo& info);
  // The name of volume `index` under the given kind and naming, without existence checks.
  std::u16string BuildVolumeName(const std::u16string& name, int32_t index, TQPSpanningMode mode,
                                 bool advancedNaming) const;
  bool IsSelfExtractor(const std::u16string& name) const;

  IQPVolumeHost& host_;
  std::unique_ptr<TQPStream> stream_;
  std::unique_ptr<TQPDirManager> dirManager_;
  TQPVolumeNumberInfo volumeInfo_;
  std::u16string currentVolumeFileName_;
  uint16_t openMode_ = 0;
};

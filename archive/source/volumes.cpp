// The archive source's volumes: the names of volume files, switching the archive stream
// between volumes (with the volume requests), and the probes that decide at open time
// whether an archive is a single file, a split set or a spanned set.
#include <string>

#include "archive/source/archive_source.h"
#include "archive/base/exception.h"
#include "archive/io/file_stream.h"
#include "archive/base/path_utils.h"
#include "archive/format/ascii_fold.h"
#include "archive/format/records.h"
#include "platform/platform.h"

namespace {

// `value` in decimal with at least `digits` digits ("%.3u", "%.2d").
std::u16string Digits(int64_t value, size_t digits) {
  std::string text = std::to_string(value);
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return std::u16string(text.begin(), text.end());
}

bool ContainsExe(const std::u16string& text) { return QPFoldAscii(text).find(u".exe") != std::u16string::npos; }

}  // namespace

bool TQPArchiveSource::IsSelfExtractor(const std::u16string& name) const {
  if (dirManager_ && dirManager_->PrefixLength > 0) return true;
  if (host_.HasSfxStub()) return true;
  return ContainsExe(QPSplitPath(name).Extension);
}

std::u16string TQPArchiveSource::BuildVolumeName(const std::u16string& name, int32_t index, TQPSpanningMode mode,
                                                bool advancedNaming) const {
  const TQPPathParts parts = QPSplitPath(name);
  const bool selfExtractor = IsSelfExtractor(name);
  const std::u16string stem = parts.Folder + parts.Base;
  if (index < 0) return selfExtractor && mode == smSplitting ? stem + u".ZIP" : name;
  const std::u16string number3 = u"_" + Digits(static_cast<int64_t>(index) + 1, 3);
  switch (mode) {
    case smSpanning: {
      const std::u16string extension = selfExtractor ? std::u16string(u".exe") : parts.Extension;
      return advancedNaming ? stem + number3 + extension : stem + extension;
    }
    case smSplitting:
      if (index == 0 && selfExtractor) return stem + u".exe";
      return advancedNaming ? stem + number3 + parts.Extension
                            : stem + u".Z" + Digits(static_cast<int64_t>(index) + 1, 2);
    case smNone:
      break;
  }
  return name;
}

std::u16string TQPArchiveSource::VolumeFileName(const std::u16string& name, int32_t index, bool checkExists) {
  const bool advanced = host_.AdvancedNaming();
  std::u16string result = BuildVolumeName(name, index, host_.GetSpanningMode(), advanced);
  // Disks written under the other naming scheme are still found.
  if (checkExists && host_.GetSpanningMode() == smSpanning && index >= 0 && !qp::platform::FileExists(result)) {
    std::u16string other = BuildVolumeName(name, index, smSpanning, !advanced);
    if (qp::platform::FileExists(other)) return other;
  }
  return result;
}

void TQPArchiveSource::OpenVolumeStream(const std::u16string& path) {
  if (!qp::platform::FileExists(path)) throw EQPException(neArchiveNotFound, host_.SourceComponent(), {path});
  auto file = TQPFileStream::Open(path, openMode_);
  if (!file) throw EQPException(neCannotOpenFile, host_.SourceComponent(), {path});
  stream_ = std::move(file);
  currentVolumeFileName_ = path;
}

void TQPArchiveSource::TakeVolumeNumber(const TQPVolumeNumberInfo& info) {
  volumeInfo_.Number = info.Number;
  volumeInfo_.Kind = info.Kind;
  // The number of the last volume is kept once a request knew it. Without it a reader that
  // steps on to number + 1 cannot tell that it reached the last volume, whose file is named
  // apart (the archive's own name), and would ask for a numbered volume that does not exist.
  if (info.LastNumber >= 0) volumeInfo_.LastNumber = info.LastNumber;
  if (volumeInfo_.Kind == TQPVolumeNumberInfo::LastVolume && volumeInfo_.Number < 0)
    volumeInfo_.Number = volumeInfo_.LastNumber;
}

TQPStream* TQPArchiveSource::SwitchVolume(const TQPVolumeNumberInfo& info) {
  const std::u16string& archiveName = host_.ArchiveFileName();
  if (host_.GetSpanningMode() == smNone) {
    if (!stream_) OpenVolumeStream(archiveName);
    TakeVolumeNumber(info);
    return stream_.get();
  }
  if (stream_ && volumeInfo_.SameVolume(info)) {
    TakeVolumeNumber(info);
    return stream_.get();
  }
  for (;;) {
    std::u16string name = archiveName;
    bool cancel = false;
    if (info.IsFirst()) {
      name = VolumeFileName(archiveName, 0, !host_.HandlesFirstVolumeRequest());
      host_.DoOnRequestFirstVolume(name, cancel);
    } else if (info.IsLast()) {
      name = VolumeFileName(archiveName, -1, true);
      host_.DoOnRequestLastVolume(name, cancel);
    } else {
      name = VolumeFileName(archiveName, info.Number, !host_.HandlesMiddleVolumeRequest());
      host_.DoOnRequestMiddleVolume(info.Number + 1, name, cancel);
    }
    // An empty name names no volume: the search ends as if it had been cancelled rather
    // than going on with the wrong file.
    if (cancel || name.empty()) throw EQPException(neVolumeRequestCancelled, host_.SourceComponent());
    if (qp::platform::FileExists(name)) {
      OpenVolumeStream(name);
      TakeVolumeNumber(info);
      return stream_.get();
    }
  }
}

bool TQPArchiveSource::ProbeEndRecord(uint16_t& diskNumber) {
  dirManager_ = std::make_unique<TQPDirManager>(static_cast<TQPDirManagerOwner*>(this));
  diskNumber = 0;
  try {
    // The probes must know whether there is an end record, so they are never tolerant.
    if (!dirManager_->HasEndRecord(*stream_, false)) return false;
    diskNumber = dirManager_->EndRecord.DiskNumber;
    // A ZIP64 archive may leave its disk number to the locator, as the directory reader
    // takes it; a single-file ZIP64 archive must not look like the last of 65535 volumes.
    int64_t position;
    TZip64Locator locator;
    if (diskNumber == kMarker16 && dirManager_->FindEndRecord(*stream_, kEndRecordSignature, position) &&
        dirManager_->ReadZip64Locator(*stream_, position, locator))
      diskNumber = static_cast<uint16_t>(locator.TotalDisks > 0 ? locator.TotalDisks - 1 : 0);
    return true;
  } catch (const EStreamError&) {
    // An unreadable file has no end record; reading the directory reports it.
    return false;
  }
}

void TQPArchiveSource::DetectSpanning(bool endRecordFound, int32_t diskNumber) {
  const std::u16string& archiveName = host_.ArchiveFileName();
  if (!endRecordFound) {
    host_.SettleSpanningMode(QPIsOnRemovableDrive(archiveName) ? smSpanning : smNone);
    return;
  }
  if (diskNumber <= 0) {
    host_.SettleSpanningMode(smNone);
    return;
  }
  bool& advanced = host_.AdvancedNaming();
  if (qp::platform::FileExists(BuildVolumeName(archiveName, diskNumber - 1, smSplitting, advanced))) {
    host_.SettleSpanningMode(smSplitting);
    return;
  }
  // The set was written under the other naming scheme: keep using that one.
  if (qp::platform::FileExists(BuildVolumeName(archiveName, diskNumber - 1, smSplitting, !advanced))) {
    advanced = !advanced;
    host_.SettleSpanningMode(smSplitting);
    return;
  }
  host_.SettleSpanningMode(ContainsExe(archiveName) ? smNone : smSpanning);
}

void TQPArchiveSource::ProbeVolumes() {
  const std::u16string& archiveName = host_.ArchiveFileName();
  host_.SettleSpanningMode(smNone);
  volumeInfo_.Reset();
  TQPVolumeNumberInfo last;
  last.SetLast();
  uint16_t disk = 0;
  bool found = false;

  if (QPFoldAscii(QPSplitPath(archiveName).Extension) == u".exe") {
    SwitchVolume(last);
    found = ProbeEndRecord(disk);
    if (found) {
      DetectSpanning(true, disk);
      return;
    }
    // A self-extracting split set keeps its end record in the ".ZIP" beside the program.
    host_.SettleSpanningMode(smSplitting);
    const std::u16string lastName = VolumeFileName(archiveName, -1, false);
    if (qp::platform::FileExists(lastName)) OpenVolumeStream(lastName);
    host_.SettleSpanningMode(smNone);
    do {
      // Each round asks for the last volume afresh; without the reset a spanned set on a
      // removable drive would probe the same stream for ever.
      if (host_.GetSpanningMode() != smNone) volumeInfo_.Reset();
      SwitchVolume(last);
      found = ProbeEndRecord(disk);
      DetectSpanning(found, disk);
    } while (!found && host_.GetSpanningMode() != smNone);
    return;
  }

  do {
    dirManager_.reset();
    volumeInfo_.Reset();
    if (!qp::platform::FileExists(archiveName) && QPIsOnRemovableDrive(archiveName)) host_.SettleSpanningMode(smSpanning);
    SwitchVolume(last);
    found = ProbeEndRecord(disk);
    DetectSpanning(found, disk);
  } while (!found && host_.GetSpanningMode() != smNone);
}

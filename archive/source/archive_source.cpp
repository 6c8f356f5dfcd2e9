// The archive source: opening a new or an existing archive onto the one stream, closing it,
// and reading an item's bytes where they are (the volume of its local header, and on into
// the next volumes).
#include "archive/source/archive_source.h"

#include "archive/base/exception.h"
#include "archive/format/dir_item.h"
#include "archive/format/records.h"
#include "archive/io/file_stream.h"

void TQPArchiveSource::OpenNew(uint16_t mode, const std::u16string* path) {
  Close();
  openMode_ = mode;
  volumeInfo_.Reset();
  if (!path) {
    stream_ = std::make_unique<TQPMemoryStream>();
  } else {
    auto file = TQPFileStream::Create(*path);
    if (!file) throw EQPException(neCannotCreateFile, host_.SourceComponent(), {*path});
    stream_ = std::move(file);
    currentVolumeFileName_ = *path;
  }
  volumeInfo_.SetFirst();
  dirManager_ = std::make_unique<TQPDirManager>(static_cast<TQPDirManagerOwner*>(this));
}

void TQPArchiveSource::OpenExisting(uint16_t mode) {
  Close();
  openMode_ = mode;
  volumeInfo_.Reset();
  try {
    ProbeVolumes();
    dirManager_->ReadDirectory(*stream_);
  } catch (const EStreamIOError& e) {
    // The file could not be read: that is the system's failure, not a damaged archive.
    const std::u16string volume = ShownVolumeName();
    Close();
    throw EQPException(neCannotOpenFile, host_.SourceComponent(), {volume}, e.SystemError);
  }
}

void TQPArchiveSource::Close() {
  dirManager_.reset();
  stream_.reset();
  currentVolumeFileName_.clear();
}

const std::u16string& TQPArchiveSource::ShownVolumeName() const {
  return currentVolumeFileName_.empty() ? host_.ArchiveFileName() : currentVolumeFileName_;
}

void TQPArchiveSource::SelectVolumeOf(const TDirItem& item) {
  const TQPDirManager& dm = *dirManager_;
  uint32_t disk = item.CentralDirItem.DiskNumberStart;
  if (disk == kMarker16) disk = dm.IsZip64 && item.HasZip64Values ? item.Zip64Values.DiskNumberStart : 0;
  int64_t last = dm.EndRecord.DiskNumber;
  if (last == kMarker16) last = dm.IsZip64 ? static_cast<int64_t>(dm.Zip64Locator.TotalDisks) - 1 : 0;
  TQPVolumeNumberInfo info = volumeInfo_;
  info.LastNumber = static_cast<int32_t>(last);
  if (static_cast<int64_t>(disk) == last)
    info.SetLast();
  else if (disk == 0)
    info.SetFirst();
  else
    info.SetNumber(static_cast<int32_t>(disk));
  SwitchVolume(info);
}

bool TQPArchiveSource::ReadAcrossVolumes(uint8_t* buffer, size_t count) {
  TQPStream* stream = stream_.get();
  if (!stream) return false;
  size_t got = stream->ReadFully(buffer, count);
  // A single file has no next volume: a short read there is a truncated archive.
  while (got < count && host_.GetSpanningMode() != smNone) {
    // Past the last volume there is nothing more: the data is cut short.
    if (volumeInfo_.IsLast()) break;
    TQPVolumeNumberInfo next = volumeInfo_;
    next.SetNumber(volumeInfo_.Number + 1);
    stream = SwitchVolume(next);
    stream->SetPosition(0);
    got += stream->ReadFully(buffer + got, count - got);
    if (stream->Position() == 0) break;
  }
  return got == count;
}

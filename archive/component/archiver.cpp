// TQPBaseArchiver and TQuillpack: construction, the property setters with rules, and the
// lifecycle of an open archive (OpenArchive, CloseArchive, AfterOpen).
#include "archive/component/archiver.h"


#include "archive/base/exception.h"
#include "archive/io/file_stream.h"
#include "archive/base/path_utils.h"
#include "archive/format/records.h"
#include "platform/platform.h"

namespace {

// The component's version in hundredths; formatted by hand so that no locale can turn the
// decimal point into a comma.
constexpr int kVersionHundredths = 694;

}  // namespace

TQPBaseArchiver::TQPBaseArchiver(TComponent* owner) : TComponent(owner) {
  source_ = std::make_unique<TQPArchiveSource>(static_cast<IQPVolumeHost&>(*this));
  options_ = std::make_unique<TQPOptions>();
  SetCompressionLevel(clFastest);
  open_ = false;
  EncryptionMethod = caPkzipClassic;
  ExtractCorruptedFiles = false;
  spanningMode_ = smNone;
  spanningOptions_ = std::make_unique<TQPSpanningOptions>();
  Zip64Mode = zmAuto;
  UnicodeFilenames = false;
}

TQPBaseArchiver::~TQPBaseArchiver() { CloseArchive(); }

// ----- properties -----

void TQPBaseArchiver::SetCompressionLevel(TQPCompressionLevel level) {
  compressionLevel_ = level;
  switch (level) {
    case clNone: compressionMode_ = 0; break;
    case clFastest: compressionMode_ = 1; break;
    case clNormal: compressionMode_ = 6; break;
    case clMax: compressionMode_ = 9; break;
  }
  UpdateCompressionMethod();
}

void TQPBaseArchiver::SetCompressionMode(uint8_t mode) {
  if (mode > 9) throw EQPException(neInvalidCompressionMode, this);
  compressionMode_ = mode;
  if (mode == 0)
    compressionLevel_ = clNone;
  else if (mode <= 3)
    compressionLevel_ = clFastest;
  else if (mode <= 6)
    compressionLevel_ = clNormal;
  else
    compressionLevel_ = clMax;
  UpdateCompressionMethod();
}

void TQPBaseArchiver::UpdateCompressionMethod() {
  compressionMethod_ = compressionMode_ > 0 ? kMethodDeflate : kMethodStored;
}

std::u16string TQPBaseArchiver::GetCurrentVersion() const {
  const int whole = kVersionHundredths / 100;
  const int fraction = kVersionHundredths % 100;
  std::u16string version;
  for (char c : std::to_string(whole)) version += static_cast<char16_t>(c);
  version += u'.';
  version += static_cast<char16_t>(u'0' + fraction / 10);
  version += static_cast<char16_t>(u'0' + fraction % 10);
  version += u' ';
  return version;
}

void TQPBaseArchiver::SetPassword(const std::string& password) { password_ = password; }

void TQPBaseArchiver::SetSpanningMode(TQPSpanningMode mode) {
  // The volume logic of an open archive was settled by opening it; changing the kind
  // underneath would make the directory and the volume names disagree.
  if (open_) throw Exception(u"Cannot set spanning mode on open archive");
  spanningMode_ = mode;
}

void TQPBaseArchiver::SetInMemory(bool value) {
  if (value == inMemory_) return;
  if (!open_) {
    inMemory_ = value;
    return;
  }
  if (inMemory_) {
    // The archive built in memory goes to FileName and is opened from there.
    if (FileName.empty()) throw EQPException(neBlankInMemoryFileName, this);
    FinishNewArchive();
    auto file = TQPFileStream::Create(FileName);
    if (!file) throw EQPException(neCannotCreateFile, this, {FileName});
    TQPStream& memory = *source_->Stream();
    memory.SetPosition(0);
    const int64_t size = memory.Size();
    if (file->CopyFrom(memory, size) != size) throw EQPException(neWriteError, this);
    file.reset();
    CloseArchive();
    inMemory_ = false;
  } else {
    // The file's contents are not loaded: the archive in memory starts empty.
    CloseArchive();
    inMemory_ = true;
  }
  OpenArchive();
  inMemory_ = value;
}

// ----- lifecycle -----

void TQPBaseArchiver::OpenArchive() {
  if (!inMemory_ && QPFileNamePart(FileName).empty()) throw EQPException(neBlankFileName, this);
  uint16_t mode;
  if (inMemory_ || !qp::platform::FileExists(FileName)) {
    mode = kOpenModeCreate;
  } else {
    // Writable when nobody else holds the file; otherwise read it sharing it with others.
    qp::platform::File probe;
    mode = probe.Open(FileName, kOpenModeReadWriteExclusive) ? kOpenModeReadWriteExclusive
                                                               : kOpenModeReadOnlyDenyNone;
  }
  OpenArchive(mode);
}

void TQPBaseArchiver::OpenArchive(uint16_t mode) {
  if (!inMemory_ && QPFileNamePart(FileName).empty()) throw EQPException(neBlankFileNameForMode, this);
  // A missing file is fine where the user may still insert the disk that holds it.
  if (mode != kOpenModeCreate && !qp::platform::FileExists(FileName) && spanningMode_ != smSpanning &&
      !QPIsOnRemovableDrive(FileName))
    throw EQPException(neArchiveNotFound, this, {FileName});
  if (mode != kOpenModeCreate && inMemory_) throw EQPException(neInMemoryCreateOnly, this, {FileName});
  CloseArchive();
  if (inMemory_) {
    source_->OpenNew(mode, nullptr);
  } else if (mode == kOpenModeCreate) {
    const std::u16string first = spanningMode_ == smNone ? FileName : VolumeFileName(FileName, 0, false);
    source_->OpenNew(mode, &first);
  } else {
    source_->OpenExisting(mode);
  }
  open_ = true;
  DoAfterOpen();
}

void TQPBaseArchiver::FinishNewArchive() {
  TQPStream* stream = source_->Stream();
  if (source_->OpenMode() != kOpenModeCreate || !stream || !source_->DirManager()) return;
  const auto prefix = static_cast<int64_t>(source_->DirManager()->PrefixLength);
  if (stream->Size() != prefix) return;
  uint8_t record[TEndOfCentralDir::kSize] = {0x50, 0x4B, 0x05, 0x06};
  stream->SetPosition(prefix);
  stream->WriteBuffer(record, sizeof record);
}

void TQPBaseArchiver::CloseArchive() noexcept {
  if (open_) {
    try {
      FinishNewArchive();
    } catch (...) {
      // Closing must always succeed; a new, empty archive that could not be finished is
      // left as it is.
    }
    open_ = false;
  }
  source_->Close();
}

void TQPBaseArchiver::DoAfterOpen() {
  if (AfterOpen) AfterOpen(this);
}

// ----- TQuillpack -----

TQuillpack::TQuillpack(TComponent* owner) : TQPBaseArchiver(owner) {
  Zip64Mode = zmDisabled;
  UpdateCompressionMethod();
}

void TQuillpack::SetPassword(const std::string& password) { TQPBaseArchiver::SetPassword(password); }

// The published component keeps its own slot for the rule, which is the base's.
void TQuillpack::UpdateCompressionMethod() { TQPBaseArchiver::UpdateCompressionMethod(); }

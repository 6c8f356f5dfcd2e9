// The pending file of one item: creating it (beside the destination when that is replaced),
// finishing it, committing it into place, and removing it when it is not committed.
#include "archive/extract/pending_file.h"

#include <exception>

#include "archive/base/path_utils.h"
#include "platform/platform.h"

namespace pf = qp::platform;

namespace {

// A name in the destination's folder that no file has yet, for the new data of a file that
// is being replaced.
std::u16string TemporaryNameBeside(const std::u16string& dest) {
  const std::u16string folder = QPFolderOf(dest);
  static uint32_t sequence = 0;
  for (;;) {
    // "~qp%08x.tmp", spelt out: the printf family would add its whole formatter to the
    // self-extractor for these eight digits.
    const auto tag = static_cast<uint32_t>(pf::HighResCounter() ^ (++sequence * 0x9E3779B9u));
    std::u16string candidate = folder + u"~qp";
    for (int shift = 28; shift >= 0; shift -= 4) candidate += u"0123456789abcdef"[(tag >> shift) & 15];
    candidate += u".tmp";
    if (pf::GetFileAttributes(candidate) == pf::kInvalidAttributes) return candidate;
  }
}

}  // namespace

TQPPendingFile::TQPPendingFile(std::unique_ptr<TQPFileStream> created, std::u16string dest)
    : file_(std::move(created)), dest_(dest), target_(std::move(dest)) {}

TQPPendingFile::TQPPendingFile(std::unique_ptr<TQPFileStream> file, std::u16string dest, std::u16string target)
    : file_(std::move(file)), dest_(std::move(dest)), target_(std::move(target)) {}

std::unique_ptr<TQPPendingFile> TQPPendingFile::Create(const std::u16string& dest, bool replacing,
                                                       int& systemError) {
  std::u16string target = replacing ? TemporaryNameBeside(dest) : dest;
  std::unique_ptr<TQPFileStream> file;
  try {
    file = TQPFileStream::Create(target);
  } catch (const std::exception&) {
    file.reset();
  }
  if (!file) {
    systemError = pf::LastSystemError();
    return nullptr;
  }
  return std::unique_ptr<TQPPendingFile>(new TQPPendingFile(std::move(file), dest, std::move(target)));
}

TQPPendingFile::~TQPPendingFile() {
  if (committed_) return;
  file_.reset();
  pf::DeleteFile(target_);
}

bool TQPPendingFile::Finish(uint32_t dosDateTime, const uint32_t* attributes, bool flush, int& systemError) {
  if (attributes)
    file_->Handle().SetDosDateTimeAndAttributes(dosDateTime, *attributes);
  else
    file_->Handle().SetDosDateTime(dosDateTime);
  if (flush && !file_->Flush()) {
    systemError = file_->Handle().LastError();
    return false;
  }
  return true;
}

bool TQPPendingFile::Commit(int& systemError) {
  file_.reset();
  if (target_ != dest_) {
    pf::SetFileAttributes(dest_, 0);
    if (!pf::MoveFileReplace(target_, dest_)) {
      systemError = pf::LastSystemError();
      // A read-only temporary file (the item's attributes) could not be removed otherwise.
      pf::SetFileAttributes(target_, 0);
      return false;
    }
  }
  committed_ = true;
  return true;
}

// The event dispatchers of TQPBaseArchiver: each calls its handler when one is assigned and
// otherwise does the component's own default, asking the user through the installed
// questions where the default is a question. Item names reach handlers with '\' as the
// separator, as paths on the target system are written.
#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "archive/component/user_questions.h"
#include "archive/format/item_path.h"
#include "platform/platform.h"

namespace {

// With nobody to ask, the dialog counts as closed without an answer.
TQPDialogResult Ask(const std::u16string& text, uint32_t buttons) {
  IQPUserQuestions* questions = QPUserQuestions();
  if (questions == nullptr) return TQPDialogResult::qrNone;
  return questions->MessageDialog(TQPDialogKind::Confirmation, text, buttons);
}

bool AskOkCancel(const std::u16string& text) { return Ask(text, qbOK | qbCancel) == TQPDialogResult::qrOK; }

}  // namespace

void TQPBaseArchiver::DoOnOverallProgress(double Progress, TQPProcessOperation Operation, TQPProgressPhase Phase,
                                          bool& Cancel) {
  if (OnOverallProgress)
    OnOverallProgress(this, Progress, Operation, Phase, Cancel);
  else
    Cancel = false;
}

void TQPBaseArchiver::DoOnFileProgress(const std::u16string& FileName, double Progress,
                                       TQPProcessOperation Operation, TQPProgressPhase Phase, bool& Cancel) {
  if (!OnFileProgress) {
    Cancel = false;
    return;
  }
  if (QPIsEnginePath(FileName)) {
    OnFileProgress(this, FileName, Progress, Operation, Phase, Cancel);
    return;
  }
  if (FileName != progressStoredName_) {
    progressStoredName_ = FileName;
    progressEventName_ = QPEnginePathOf(FileName);
  }
  OnFileProgress(this, progressEventName_, Progress, Operation, Phase, Cancel);
}

void TQPBaseArchiver::DoOnCopyTempFileProgress(double Progress, TQPProgressPhase Phase, bool& Cancel) {
  if (OnCopyTempFileProgress)
    OnCopyTempFileProgress(this, Progress, Phase, Cancel);
  else
    Cancel = false;
}

void TQPBaseArchiver::DoOnConfirmOverwrite(const std::u16string& SourceFileName, std::u16string& DestFileName,
                                           bool& Confirm) {
  const std::u16string source = QPEnginePathOf(SourceFileName);
  if (OnConfirmOverwrite) {
    OnConfirmOverwrite(this, source, DestFileName, Confirm);
    return;
  }
  const std::u16string text = QPFormat(u"Overwrite file \"%s\" with \"%s\"", {DestFileName, source});
  switch (Ask(text, qbYes | qbNo | qbNoToAll | qbYesToAll)) {
    case TQPDialogResult::qrYes:
      Confirm = true;
      break;
    case TQPDialogResult::qrYesToAll:
      Confirm = true;
      options_->OverwriteMode = omAlways;
      break;
    case TQPDialogResult::qrNoToAll:
      Confirm = false;
      options_->OverwriteMode = omNever;
      break;
    default:
      Confirm = false;
      break;
  }
}

void TQPBaseArchiver::DoOnConfirmProcessFile(const std::u16string& FileName, TQPProcessOperation Operation,
                                             bool& Confirm) {
  if (OnConfirmProcessFile) OnConfirmProcessFile(this, QPEnginePathOf(FileName), Operation, Confirm);
}

void TQPBaseArchiver::DoOnPassword(const std::u16string& FileName, std::string& NewPassword, bool& SkipFile) {
  const std::u16string name = QPEnginePathOf(FileName);
  if (OnPassword) {
    OnPassword(this, name, NewPassword, SkipFile);
    return;
  }
  IQPUserQuestions* questions = QPUserQuestions();
  std::string answer;
  if (questions != nullptr && questions->PasswordDialog(name, answer)) {
    NewPassword = answer;
    SkipFile = false;
  } else {
    SkipFile = true;
  }
}

void TQPBaseArchiver::DoOnProcessFileFailure(const std::u16string& FileName, TQPProcessOperation Operation,
                                             int32_t NativeError, int32_t ErrorCode,
                                             const std::u16string& ErrorMessage, TQPAction& Action) {
  if (OnProcessFileFailure) {
    OnProcessFileFailure(this, QPEnginePathOf(FileName), Operation, NativeError, ErrorCode, ErrorMessage, Action);
    return;
  }
  // The user already said no to the volume; asking again about the same item is pointless.
  if (NativeError == neVolumeRequestCancelled) {
    Action = fxaAbort;
    return;
  }
  const std::u16string text = QPFormat(u"%s. File processing error, possibly disk is full", {ErrorMessage});
  switch (Ask(text, qbAbort | qbRetry | qbIgnore)) {
    case TQPDialogResult::qrRetry: Action = fxaRetry; break;
    case TQPDialogResult::qrIgnore: Action = fxaIgnore; break;
    default: Action = fxaAbort; break;
  }
}

void TQPBaseArchiver::DoOnRequestBlankVolume(int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel) {
  if (OnRequestBlankVolume) OnRequestBlankVolume(this, VolumeNumber, VolumeFileName, Cancel);
}

void TQPBaseArchiver::DoOnRequestFirstVolume(std::u16string& VolumeFileName, bool& Cancel) {
  if (OnRequestFirstVolume) {
    OnRequestFirstVolume(this, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning) {
    Cancel = !AskOkCancel(u"Please insert the first disk");
    VolumeFileName = this->VolumeFileName(FileName, 0, true);
  } else {
    Cancel = !qp::platform::FileExists(VolumeFileName);
  }
}

void TQPBaseArchiver::DoOnRequestLastVolume(std::u16string& VolumeFileName, bool& Cancel) {
  if (OnRequestLastVolume) {
    OnRequestLastVolume(this, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning) {
    Cancel = !AskOkCancel(u"Please insert the last disk");
    while (!Cancel && !qp::platform::FileExists(VolumeFileName)) {
      Cancel = !AskOkCancel(QPFormat(
          u"File '%s' not found on inserted disk. Please insert last disk with required file", {VolumeFileName}));
    }
  } else {
    Cancel = !qp::platform::FileExists(VolumeFileName);
  }
}

void TQPBaseArchiver::DoOnRequestMiddleVolume(int32_t VolumeNumber, std::u16string& VolumeFileName, bool& Cancel) {
  if (OnRequestMiddleVolume) {
    OnRequestMiddleVolume(this, VolumeNumber, VolumeFileName, Cancel);
    return;
  }
  if (spanningMode_ == smSpanning)
    Cancel = !AskOkCancel(QPFormat(u"Please insert disk #%d", {int64_t{VolumeNumber}}));
  else if (spanningMode_ == smSplitting)
    Cancel = !qp::platform::FileExists(VolumeFileName);
  VolumeFileName = this->VolumeFileName(FileName, VolumeNumber - 1, true);
}

void TQPBaseArchiver::DoOnDiskFull(int32_t VolumeNumber, const std::u16string& VolumeFileName, bool& Cancel) {
  Cancel = false;
  if (OnDiskFull) {
    // Volume numbers are 0-based inside the engine and shown from 1.
    OnDiskFull(this, VolumeNumber + 1, VolumeFileName, Cancel);
    return;
  }
  // Only a spanned set can go on with another disk; anything else is a hard failure.
  if (spanningMode_ != smSpanning) throw EQPException(neDiskFull, nullptr);
  const int64_t required = spanningOptions_->VolumeSizeLimit(VolumeNumber <= 0);
  const int64_t available = qp::platform::DiskFreeSpace(VolumeFileName);
  Cancel = !AskOkCancel(QPFormat(u"Disk is full. Required free space: %d bytes, but available only: %d bytes. "
                                 u"Clean the disk or find another blank disk",
                                 {required, available}));
}

void TQPBaseArchiver::DoOnStoreFile(std::u16string& FileName, int32_t& FileAttr, std::string& Comment,
                                    const std::u16string& OriginalFileName) {
  if (!OnStoreFile) return;
  std::u16string name = QPEnginePathOf(FileName);
  OnStoreFile(this, name, FileAttr, Comment, OriginalFileName);
  FileName = QPStoredFormOf(name);
}

void TQPBaseArchiver::DoOnExtractFile(std::u16string& FileName, uint32_t& FileAttr, const std::string& Comment) {
  if (!OnExtractFile) return;
  std::u16string name = QPEnginePathOf(FileName);
  OnExtractFile(this, name, FileAttr, Comment);
  FileName = QPStoredFormOf(name);
}

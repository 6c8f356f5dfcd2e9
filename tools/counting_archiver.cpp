// The component as the tool runs it, counting skipped items and kept files.
#include "tools/counting_archiver.h"

#include <algorithm>
#include <optional>

#include "tools/typed_password.h"

void CountingArchiver::DoOnFileProgress(const std::u16string& fileName, double progress,
                                        TQPProcessOperation operation, TQPProgressPhase phase, bool& cancel) {
  if (phase == ppStart) bothFormsTried_.clear();
  TQuillpack::DoOnFileProgress(fileName, progress, operation, phase, cancel);
}

void CountingArchiver::DoOnPassword(const std::u16string& fileName, std::string& password, bool& skipFile) {
  // A password given as typed goes to the engine in the ANSI code page; an archive written
  // on a POSIX system holds the typed (UTF-8) bytes instead. Before anyone is asked, the
  // other form of the password that failed gets its one try on this item.
  const std::optional<std::string> other = OtherFormOf(password);
  if (other && std::find(bothFormsTried_.begin(), bothFormsTried_.end(), password) == bothFormsTried_.end()) {
    bothFormsTried_.push_back(password);
    bothFormsTried_.push_back(*other);
    password = *other;
    skipFile = false;
    return;
  }
  TQuillpack::DoOnPassword(fileName, password, skipFile);
  if (skipFile) ++skipped;
}

void CountingArchiver::DoOnConfirmOverwrite(const std::u16string& source, std::u16string& dest, bool& confirm) {
  if (declineAll_) {
    confirm = false;
  } else {
    TQuillpack::DoOnConfirmOverwrite(source, dest, confirm);
    // "No to all" turns the mode to omNever, after which the engine skips existing files
    // without asking; answering No here for the rest of the run keeps them counted.
    if (!confirm && Options().OverwriteMode == omNever) {
      Options().OverwriteMode = omPrompt;
      declineAll_ = true;
    }
  }
  if (!confirm) ++declined;
}

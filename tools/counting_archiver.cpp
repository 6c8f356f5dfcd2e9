// The component as the tool runs it, counting skipped items and kept files.
#include "tools/counting_archiver.h"

void CountingArchiver::DoOnPassword(const std::u16string& fileName, std::string& password, bool& skipFile) {
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

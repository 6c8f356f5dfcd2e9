// TQPPendingFile: the file one item's data is written to until the item is complete. For a
// new file it is the destination itself; for a file that is being replaced it is a temporary
// file beside it, so that a failure, a skip or a cancel loses nothing. Unless Commit succeeds,
// the pending file removes itself when it goes, and an existing file stays as it was. The
// extraction of one item owns it; the decoder borrows its stream while it writes.
#pragma once

#include <memory>
#include <string>

#include "archive/io/file_stream.h"

class TQPPendingFile {
 public:
  // Takes over a destination file that was just created as new.
  TQPPendingFile(std::unique_ptr<TQPFileStream> created, std::u16string dest);
  // Creates the file for `dest`: a temporary one beside it when `replacing`. Null, with the
  // system's cause in `systemError`, when the file cannot be created.
  static std::unique_ptr<TQPPendingFile> Create(const std::u16string& dest, bool replacing, int& systemError);

  TQPPendingFile(const TQPPendingFile&) = delete;
  TQPPendingFile& operator=(const TQPPendingFile&) = delete;
  ~TQPPendingFile();

  TQPFileStream& Stream() { return *file_; }
  // The complete item: time and attributes through the open handle (looking the name up
  // again would cost a call per file), then a flush when asked. False, with the system's
  // cause in `systemError`, when the flush fails; the time and attributes are best effort.
  [[nodiscard]] bool Finish(uint32_t dosDateTime, const uint32_t* attributes, bool flush, int& systemError);
  // Closes the file and puts it in the destination's place. False, with the system's cause
  // in `systemError`, when an existing file cannot be replaced (the pending one is removed).
  [[nodiscard]] bool Commit(int& systemError);

 private:
  TQPPendingFile(std::unique_ptr<TQPFileStream> file, std::u16string dest, std::u16string target);

  std::unique_ptr<TQPFileStream> file_;
  std::u16string dest_;
  std::u16string target_;  // dest_ itself, or the temporary file beside it
  bool committed_ = false;
};

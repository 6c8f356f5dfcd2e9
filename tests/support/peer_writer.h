// Real writers (Info-ZIP zip, 7-Zip, bsdtar) as oracles: a command runs in a scratch folder
// and the archive it made is read back. Native builds only; a writer that is not installed
// is reported, so that the test can skip.
#pragma once

#include <string>

#include "tests/support/zip_builder.h"

class PeerWriter {
 public:
  explicit PeerWriter(const ScratchDir& dir) : dir_(dir) {}
  // Runs `command` (through the shell, in the scratch folder) and returns the bytes of the
  // file `archive` there; empty, with Missing() set, when `tool` is not installed. The
  // commands keep their standard output quiet themselves, since some write the archive there.
  std::string Make(const std::string& tool, const std::string& command, const std::string& archive);
  bool Missing() const { return missing_; }

 private:
  const ScratchDir& dir_;
  bool missing_ = false;
};

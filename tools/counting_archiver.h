// The component as the tool runs it: it counts the items skipped for want of a password and
// the existing files the person chose to keep, so that the summary and the exit status can
// tell them from failures; and it gives a failed password its other form (typed UTF-8 or
// ANSI) once per item before anyone is asked.
#pragma once

#include <string>
#include <vector>

#include "archive/component/archiver.h"

class CountingArchiver : public TQuillpack {
 public:
  CountingArchiver() : TQuillpack(nullptr) {}
  // A new item: no password has been tried on it in its other form yet.
  void DoOnFileProgress(const std::u16string& fileName, double progress, TQPProcessOperation operation,
                        TQPProgressPhase phase, bool& cancel) override;
  void DoOnPassword(const std::u16string& fileName, std::string& password, bool& skipFile) override;
  void DoOnConfirmOverwrite(const std::u16string& source, std::u16string& dest, bool& confirm) override;

  int skipped = 0;
  int declined = 0;

 private:
  bool declineAll_ = false;
  std::vector<std::string> bothFormsTried_;
};

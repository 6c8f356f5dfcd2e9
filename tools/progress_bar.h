// A one-line progress bar on stderr for long extractions: percentage and current item,
// redrawn in place and at most a few times per second.
#pragma once

#include <cstdint>
#include <string>

class ProgressBar {
 public:
  // Draws only when stderr is a terminal.
  ProgressBar();
  void SetItem(const std::string& name);
  void SetPercent(double percent);
  // Removes the bar so that messages start on a clean line.
  void Clear();
  bool Enabled() const { return enabled_; }

 private:
  void Draw(bool force);

  bool enabled_ = false;
  bool shown_ = false;
  double percent_ = 0;
  std::string item_;
  int64_t lastDraw_ = 0;
  int lastPercent_ = -1;
};

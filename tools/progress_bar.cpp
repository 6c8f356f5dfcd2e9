// The terminal progress bar.
#include "tools/progress_bar.h"

#include <chrono>
#include <cstdio>

#include "platform/terminal/terminal.h"
#include "tools/terminal_text.h"

namespace {

constexpr int kBarWidth = 30;
constexpr size_t kNameWidth = 40;
constexpr int64_t kRedrawMs = 100;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The last `width` characters of a UTF-8 name, cut at a character boundary.
std::string Tail(const std::string& name, size_t width) {
  if (name.size() <= width) return name;
  size_t start = name.size() - width;
  while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80) ++start;
  return "..." + name.substr(start);
}

}  // namespace

ProgressBar::ProgressBar() : enabled_(qp::platform::terminal::StderrIsTerminal()) {}

void ProgressBar::SetItem(const std::string& name) {
  item_ = EscapeControls(name);
  Draw(false);
}

void ProgressBar::SetPercent(double percent) {
  percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  Draw(false);
}

void ProgressBar::Draw(bool force) {
  if (!enabled_) return;
  const int64_t now = NowMs();
  const int whole = static_cast<int>(percent_);
  if (!force && now - lastDraw_ < kRedrawMs && whole == lastPercent_) return;
  if (!force && now - lastDraw_ < kRedrawMs / 4) return;
  lastDraw_ = now;
  lastPercent_ = whole;
  const int filled = whole * kBarWidth / 100;
  std::string line = "\r[";
  line.append(static_cast<size_t>(filled), '#');
  line.append(static_cast<size_t>(kBarWidth - filled), '.');
  char pct[16];
  std::snprintf(pct, sizeof pct, "] %3d%% ", whole);
  line += pct;
  std::string name = Tail(item_, kNameWidth);
  name.resize(kNameWidth + 3, ' ');
  line += name;
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  shown_ = true;
}

void ProgressBar::Clear() {
  if (!shown_) return;
  // Blanks rather than an escape sequence: not every console understands those.
  const std::string blank(static_cast<size_t>(kBarWidth) + kNameWidth + 12, ' ');
  std::fprintf(stderr, "\r%s\r", blank.c_str());
  std::fflush(stderr);
  shown_ = false;
}

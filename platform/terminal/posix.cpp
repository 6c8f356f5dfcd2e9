// The terminal on POSIX: isatty and termios; typed text and arguments are UTF-8.
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/terminal/terminal.h"

namespace qp::platform::terminal {

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

std::u16string TypedText(std::string_view typed) { return Utf8ToUtf16(typed); }
std::vector<std::string> CommandArguments(int argc, char** argv) { return {argv, argv + argc}; }
std::u16string ArgumentText(std::string_view argument) { return Utf8ToUtf16(argument); }

struct EchoOff::Saved {
  termios mode{};
};

EchoOff::EchoOff() {
  auto saved = std::make_unique<Saved>();
  if (tcgetattr(STDIN_FILENO, &saved->mode) != 0) return;
  termios quiet = saved->mode;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0) saved_ = std::move(saved);
}

EchoOff::~EchoOff() {
  if (saved_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_->mode);
}

}  // namespace qp::platform::terminal

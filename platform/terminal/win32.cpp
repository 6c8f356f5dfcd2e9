// The terminal on Windows: the C runtime's _isatty and the console mode.
#include <windows.h>

#include <io.h>
#include <cstdio>

#include "platform/terminal/terminal.h"

namespace qp::platform::terminal {

bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

struct EchoOff::Saved {
  HANDLE input = nullptr;
  DWORD mode = 0;
};

EchoOff::EchoOff() {
  auto saved = std::make_unique<Saved>();
  saved->input = GetStdHandle(STD_INPUT_HANDLE);
  if (GetConsoleMode(saved->input, &saved->mode) &&
      SetConsoleMode(saved->input, saved->mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)))
    saved_ = std::move(saved);
}

EchoOff::~EchoOff() {
  if (saved_) SetConsoleMode(saved_->input, saved_->mode);
}

}  // namespace qp::platform::terminal

// The console a command-line program runs in: whether its input and error output are
// terminals, and turning off the echo of typed input. Only the command-line tool links this;
// nothing in the engine knows a terminal exists.
#pragma once

#include <memory>

namespace qp::platform::terminal {

bool StdinIsTerminal();
bool StderrIsTerminal();

// While it lives, what is typed on the terminal is not shown (for passwords). Without a
// terminal it does nothing.
class EchoOff {
 public:
  EchoOff();
  ~EchoOff();
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  struct Saved;  // the console mode to restore, in the system's own form
  std::unique_ptr<Saved> saved_;
};

}  // namespace qp::platform::terminal

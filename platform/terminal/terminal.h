// The console a command-line program runs in: whether its input and error output are
// terminals, and turning off the echo of typed input. Only the command-line tool links this;
// nothing in the engine knows a terminal exists.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qp::platform::terminal {

bool StdinIsTerminal();
bool StderrIsTerminal();
bool StdoutIsTerminal();

// A line typed at the terminal, as UTF-16: the terminal's UTF-8 on POSIX, the console's input
// code page on Windows. Bytes that do not decode become U+FFFD.
std::u16string TypedText(std::string_view typed);
// The program's arguments (argv[0] first) in UTF-8. On Windows they come from the wide
// command line: the C runtime's argv is in the ANSI code page, which cannot spell every path.
std::vector<std::string> CommandArguments(int argc, char** argv);
// An argument from CommandArguments as UTF-16. Bytes that do not decode become U+FFFD.
std::u16string ArgumentText(std::string_view argument);

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

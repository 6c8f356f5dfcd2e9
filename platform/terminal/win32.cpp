// The terminal on Windows: the C runtime's _isatty, the console mode and its input code page,
// and the wide command line.
#include <windows.h>
#include <shellapi.h>

#include <io.h>
#include <cstdio>

#include "platform/platform.h"
#include "platform/terminal/terminal.h"

namespace qp::platform::terminal {

bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

std::u16string TypedText(std::string_view typed) {
  // What the console hands over through the C runtime is in its input code page.
  const UINT codePage = GetConsoleCP();
  const int length = static_cast<int>(typed.size());
  const int needed = MultiByteToWideChar(codePage, 0, typed.data(), length, nullptr, 0);
  if (needed <= 0) return AnsiToUtf16(typed);
  std::u16string text(static_cast<size_t>(needed), u'\0');
  MultiByteToWideChar(codePage, 0, typed.data(), length, reinterpret_cast<wchar_t*>(text.data()), needed);
  return text;
}

std::vector<std::string> CommandArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) {
    for (int i = 0; i < argc; ++i) arguments.push_back(Utf16ToUtf8(AnsiToUtf16(argv[i])));
    return arguments;
  }
  for (int i = 0; i < count; ++i)
    arguments.push_back(Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(wide[i]))));
  LocalFree(wide);
  return arguments;
}

std::u16string ArgumentText(std::string_view argument) { return Utf8ToUtf16(argument); }

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

// Typed passwords to the engine's ANSI bytes, and the UTF-8 form kept beside them.
#include "tools/typed_password.h"

#include <utility>
#include <vector>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace pf = qp::platform;

namespace {

// Both forms of every password converted in this process; a handful at most.
std::vector<std::pair<std::string, std::string>>& Forms() {
  static std::vector<std::pair<std::string, std::string>> forms;
  return forms;
}

std::string ToAnsi(const std::u16string& text) {
  std::string ansi = pf::Utf16ToAnsi(text);
  std::string utf8 = pf::Utf16ToUtf8(text);
  if (ansi != utf8) Forms().emplace_back(ansi, std::move(utf8));
  return ansi;
}

// UTF-8 that survives the round trip through UTF-16 unchanged.
bool IsUtf8(const std::string& bytes) { return pf::Utf16ToUtf8(pf::Utf8ToUtf16(bytes)) == bytes; }

}  // namespace

std::string PasswordFromTerminal(const std::string& typed) {
#ifdef _WIN32
  // The console hands over its input code page.
  const UINT codePage = GetConsoleCP();
  const int length = static_cast<int>(typed.size());
  const int needed = MultiByteToWideChar(codePage, 0, typed.data(), length, nullptr, 0);
  if (needed <= 0) return typed;
  std::u16string text(static_cast<size_t>(needed), u'\0');
  MultiByteToWideChar(codePage, 0, typed.data(), length, reinterpret_cast<wchar_t*>(text.data()), needed);
  return ToAnsi(text);
#else
  return PasswordFromArgument(typed);
#endif
}

std::string PasswordFromArgument(const std::string& argument) {
#ifdef _WIN32
  // The C runtime already gives the arguments in the ANSI code page.
  ToAnsi(pf::AnsiToUtf16(argument));
  return argument;
#else
  if (!IsUtf8(argument)) return argument;
  return ToAnsi(pf::Utf8ToUtf16(argument));
#endif
}

std::optional<std::string> OtherFormOf(const std::string& password) {
  for (const auto& [ansi, utf8] : Forms()) {
    if (password == ansi) return utf8;
    if (password == utf8) return ansi;
  }
  return std::nullopt;
}

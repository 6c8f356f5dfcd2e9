// Typed passwords to the engine's ANSI bytes, and the UTF-8 form kept beside them.
#include "tools/typed_password.h"

#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/terminal/terminal.h"

namespace pf = qp::platform;

namespace {

// Both forms of every password converted in this process; a handful at most.
std::vector<std::pair<std::string, std::string>>& Forms() {
  static std::vector<std::pair<std::string, std::string>> forms;
  return forms;
}

std::string ToEngine(const std::string& given, const std::u16string& text) {
  // Bytes that do not decode are taken as being in the engine's code page already.
  if (text.find(u'\uFFFD') != std::u16string::npos) return given;
  std::string ansi = pf::Utf16ToAnsi(text);
  std::string utf8 = pf::Utf16ToUtf8(text);
  if (ansi != utf8) Forms().emplace_back(ansi, std::move(utf8));
  return ansi;
}

}  // namespace

std::string PasswordFromTerminal(const std::string& typed) {
  return ToEngine(typed, pf::terminal::TypedText(typed));
}

std::string PasswordFromArgument(const std::string& argument) {
  return ToEngine(argument, pf::terminal::ArgumentText(argument));
}

std::optional<std::string> OtherFormOf(const std::string& password) {
  for (const auto& [ansi, utf8] : Forms()) {
    if (password == ansi) return utf8;
    if (password == utf8) return ansi;
  }
  return std::nullopt;
}

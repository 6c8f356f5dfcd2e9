// Escaping control characters of archive text before it reaches a terminal or a pipe.
#include "tools/terminal_text.h"

#include <cstdio>

#include "platform/platform.h"

namespace {

void AppendCaret(std::string& out, unsigned char c) {
  out += '^';
  out += c == 0x7F ? '?' : static_cast<char>(c + 0x40);
}

}  // namespace

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      AppendCaret(out, c);
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // A C1 control such as CSI (U+009B) acts like ESC [ on many terminals.
      char code[12];
      std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned char>(text[i + 1]));
      out += code;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string EscapeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      AppendCaret(out, static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
}

std::string MessageForTerminal(std::string_view text) {
  std::string joined;
  joined.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      joined += ' ';
      ++i;
    } else {
      joined += text[i];
    }
  }
  return EscapeControls(joined);
}


std::string FailureForTerminal(const std::u16string& message, int systemError) {
  std::string text = MessageForTerminal(qp::platform::Utf16ToUtf8(message));
  if (systemError == 0) return text;
  const std::string cause = MessageForTerminal(qp::platform::Utf16ToUtf8(qp::platform::SystemErrorText(systemError)));
  if (!cause.empty() && text.find(cause) == std::string::npos) text += "\n  cause: " + cause;
  return text;
}

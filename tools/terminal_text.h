// Text from an archive on its way to a terminal or a pipe. A stored name can hold any
// character, and control characters reaching a terminal would let an archive rewrite what the
// person sees (erase lines, move the cursor, set the window title); a line break inside a
// name would make one name look like two in a listing.
#pragma once

#include <string>
#include <string_view>

// Shows every control character of UTF-8 `text` in caret notation: the C0 controls 0x00 to
// 0x1F as ^@ to ^_ (ESC is ^[), DEL as ^?; the C1 controls U+0080 to U+009F as <U+0080> to
// <U+009F>. Everything else is kept byte for byte.
std::string EscapeControls(std::string_view text);
// Only CR and LF in caret notation (^M, ^J): for listings into a pipe, which stay byte-exact
// otherwise.
std::string EscapeLineBreaks(std::string_view text);
// An engine message for the terminal: its own line breaks (CR LF) become a blank, every other
// control character is escaped as by EscapeControls.
std::string MessageForTerminal(std::string_view text);
// The failure of one item for the terminal: the engine's message, and, where its text left
// no room for the system's cause (`systemError`, 0 for none), that cause on a line of its own.
std::string FailureForTerminal(const std::u16string& message, int systemError);

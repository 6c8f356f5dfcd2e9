// Reading a text file as lines, as the window's start.ini follow-up needs it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Decodes `bytes`: a UTF-8 (EF BB BF), UTF-16 LE (FF FE) or UTF-16 BE (FE FF) byte-order mark
// selects that encoding and is dropped; otherwise the ANSI code page applies. Lines end at CR,
// LF or CR LF and are not trimmed; a break at the very end opens no further line, so an empty
// file has no line and "\r\n" one empty line. A UTF-16 text's odd last byte is dropped.
std::vector<std::u16string> SplitTextLines(std::string_view bytes);

// Reads the file at `path` (engine path form) and splits it as above. Raises Exception with
// "Cannot open file \"<path>\"" when it cannot be read.
std::vector<std::u16string> ReadTextFileLines(const std::u16string& path);

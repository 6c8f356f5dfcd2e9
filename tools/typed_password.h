// Passwords as a person gives them to the tool, on their way to the engine. The engine takes
// a password as bytes in the ANSI code page, as the Windows password dialog hands it over;
// a terminal delivers UTF-8 (on Windows: the console's code page), and so does the command
// line on POSIX. Writers on POSIX systems, though, store the bytes exactly as typed, so the
// UTF-8 form of a password is remembered as its alternative.
#pragma once

#include <optional>
#include <string>

// A password typed at the terminal, in the ANSI code page. For both: bytes that do not decode
// (not UTF-8 on POSIX) are taken as being ANSI already and pass unchanged.
std::string PasswordFromTerminal(const std::string& typed);
// A password given on the command line, in the ANSI code page.
std::string PasswordFromArgument(const std::string& argument);
// For a password that came through one of the two functions above: its other form (the
// UTF-8 bytes for the ANSI ones and back), when the two differ.
std::optional<std::string> OtherFormOf(const std::string& password);

// Whether an item name stays inside the destination folder when it is appended to it, and
// whether a name a handler chose names its own root.
#pragma once

#include <string_view>

// `name` uses '\' as separator. False for an absolute name ("\x"), one with a drive or any
// ':' ("C:x", "a:b"), a "\\server\share" or other doubled separator, and one whose ".."
// components climb above its start ("a\..\..\x"). Components made only of dots and
// blanks count as "..": Windows strips trailing dots and blanks from a component.
bool StaysInsideDestination(std::u16string_view name);

// `name` uses '\' as separator. True for a path that does not hang below a destination: one
// that starts at a root ("\x": the drive's root on Windows, an absolute path on POSIX; or
// "\\server\share") or at a drive ("C:\x").
bool IsRootedPath(std::u16string_view name);

// `name` uses '\' as separator. False when a component would not reach a plain file of that
// name on Windows: a reserved device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$,
// CONOUT$, in any letter case, with any extension and trailing dots or blanks), a control
// character below 0x20 (a NUL would cut the name short), or a component ending in a dot or a
// blank (Windows drops them, so "a.txt." would be "a.txt"); "." and ".." are left to
// StaysInsideDestination. The same on every platform, so an archive behaves alike everywhere.
bool IsPlainFileName(std::u16string_view name);

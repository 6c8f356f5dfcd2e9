// Whether a stored item name stays inside the destination folder when it is appended to it.
#pragma once

#include <string_view>

// `name` uses '\' as separator. False for an absolute name ("\x"), one with a drive or any
// ':' ("C:x", "a:b"), a "\\server\share" or other doubled separator, and one whose ".."
// components climb above its start ("a\..\..\x"). Components made only of dots and
// blanks count as "..": Windows strips trailing dots and blanks from a component.
bool StaysInsideDestination(std::u16string_view name);

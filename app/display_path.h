// A path as a person should read it in a message: the separators that joining a typed folder
// with a name can double are shown once, and a path too long to be laid out is shortened.
#pragma once

#include <string>
#include <string_view>

// Collapses every run of backslashes to one, except at the start, where two mark a server
// (\\server\share) or an extended path (\\?\C:\...) and stay as they are. Only for showing:
// what is opened keeps the path as it was formed.
std::u16string DisplayPath(std::u16string_view path);

// The text of a message box with every run of non-blank characters longer than `longest`
// (a path of thousands of folders, say) cut to its start and end around an ellipsis: a box
// laid out for tens of thousands of characters is taller than any screen and shows nothing.
std::u16string ShortenLongWords(std::u16string_view text, size_t longest = 240);

// A path as a person should read it in a message: the separators that joining a typed folder
// with a name can double are shown once.
#pragma once

#include <string>
#include <string_view>

// Collapses every run of backslashes to one, except at the start, where two mark a server
// (\\server\share) or an extended path (\\?\C:\...) and stay as they are. Only for showing:
// what is opened keeps the path as it was formed.
std::u16string DisplayPath(std::u16string_view path);

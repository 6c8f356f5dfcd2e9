// Paths past Windows' old 260-character limit. The wide file API takes such paths only in
// the extended-length form ("\\?\C:\..." or "\\?\UNC\server\share\..."), which it passes
// on to the file system unparsed: no "." or ".." is resolved, no '/' is turned into '\',
// no doubled separator is collapsed. So the form is made from a full path with all of that
// already done. Pure string work, so that it can be tested where the limit does not hold.
#pragma once

#include <string>
#include <string_view>

namespace qp::platform {

// Paths this long or longer need the extended form: CreateDirectoryW stops 12 characters
// short of the 260-character limit, to leave room for an 8.3 file name inside.
constexpr size_t kLegacyPathLimit = 248;

// The extended-length form of a full path ("C:\..." or "\\server\share\..."): '/' becomes
// '\', doubled separators are collapsed, "." and ".." components are resolved (".." never
// climbs above the drive or share). Paths already in extended or device form ("\\?\",
// "\\.\") and paths that are not full (relative, or rooted without a drive) come back
// unchanged.
std::u16string ExtendedLengthPath(std::u16string_view fullPath);

}  // namespace qp::platform

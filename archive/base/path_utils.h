// Splitting engine paths into folder, base name and extension, and the test for a removable
// drive that the volume logic and the flushing of extracted files rely on.
#pragma once

#include <string>
#include <string_view>

struct TQPPathParts {
  std::u16string Folder;     // up to and including the last '\', '/' or ':'
  std::u16string Base;       // the file name without its extension
  std::u16string Extension;  // from the last '.' of the file name on, or empty
};

TQPPathParts QPSplitPath(std::u16string_view path);
// An engine path through its last '\' (empty when it has none): the folder an item goes to.
std::u16string QPFolderOf(const std::u16string& path);
// The file-name part: everything after the last '\', '/' or ':'.
std::u16string QPFileNamePart(std::u16string_view path);
// A drive part "A:" or "B:" (the floppy drives), or a drive the platform reports as removable.
bool QPIsOnRemovableDrive(const std::u16string& path);

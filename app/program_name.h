// The parts of the program's own path the start-up needs, and the setup-mode rule.
#pragma once

#include <string>

// The folder part including its trailing separator ("D:\Downloads\" of "D:\Downloads\x.exe"),
// and the file-name part with its extension. The separators are '\', '/' and the drive's ':'.
std::u16string FolderPart(const std::u16string& path);
std::u16string FileNamePart(const std::u16string& path);

// Setup mode: "setup" occurs anywhere in the lower-cased file-name part of the program's path.
// Only the file name counts, never a folder on the way to it.
bool IsSetupProgramName(const std::u16string& lowerCasedFileName);

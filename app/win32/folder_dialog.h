// The shell's folder-browse dialog: starts at the desktop with nothing preselected, offers
// only file-system folders in the newer resizable style without a new-folder button, and is
// centred on the monitor nearest to its owner. While it is open the application's other
// windows are disabled and critical-error boxes (a drive without a disk) are suppressed.
#pragma once

#include <windows.h>

#include <string>

// True with `folder` set to the chosen path (a trailing backslash only for a drive root).
bool BrowseForFolder(HWND owner, const std::u16string& prompt, std::u16string& folder);

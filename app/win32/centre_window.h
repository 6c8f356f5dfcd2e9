// Centring a window on a monitor: the main window on the primary screen when it is first
// shown, the folder dialog on the monitor nearest to its owner.
#pragma once

#include <windows.h>

// Moves `window` so that it is centred on the whole of `monitor` (work area or not).
void CentreOnMonitor(HWND window, HMONITOR monitor);

// Centring: left = monitor left + (monitor width - window width) / 2, top likewise.
#include "app/win32/centre_window.h"

void CentreOnMonitor(HWND window, HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT rect;
  if (!GetMonitorInfoW(monitor, &info) || !GetWindowRect(window, &rect)) return;
  const RECT& area = info.rcMonitor;
  const int left = area.left + ((area.right - area.left) - (rect.right - rect.left)) / 2;
  const int top = area.top + ((area.bottom - area.top) - (rect.bottom - rect.top)) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
